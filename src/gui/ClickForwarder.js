// Forwards clicks on bound elements, with the values of the page's elements, to the host.
// Wrapped by the host around qwebchannel.js, so nothing here is visible to the page's scripts.
(function () {
    'use strict';
    var maxIdLength = @MAX_ID_LENGTH@;
    var maxValueLength = @MAX_VALUE_LENGTH@;
    var maxIds = @MAX_IDS@;
    var maxTotalLength = @MAX_TOTAL_LENGTH@;
    var maxBodyLength = @MAX_BODY_LENGTH@;
    var maxPending = 64;
    var initialBoundIds = @BOUND_IDS@;
    var initialBodyIds = @BODY_IDS@;
    var transport = window.qt && window.qt.webChannelTransport;
    var host = null;
    var pending = [];

    function boundIds() {
        return host ? host.boundIds : initialBoundIds;
    }

    function capturesBody(id) {
        return (host ? host.bodyIds : initialBodyIds).indexOf(id) >= 0;
    }

    // A click inside a bound element counts for that element, as the event bubbles up to it.
    function boundIdOf(node) {
        var ids = boundIds();
        for (var element = node; element; element = element.parentElement) {
            if (element.id && ids.indexOf(element.id) >= 0) {
                return element.id;
            }
        }
        return '';
    }

    // The first element with an id wins, as with getElementById.
    function snapshot() {
        var values = Object.create(null);
        var seen = Object.create(null);
        var count = 0;
        var total = 0;
        var elements = document.querySelectorAll('[id]');
        for (var i = 0; i < elements.length && count < maxIds; ++i) {
            var id = elements[i].id;
            if (!id || id.length > maxIdLength || seen[id]) {
                continue;
            }
            seen[id] = true;
            var value = elements[i].value;
            if (typeof value === 'number') {
                value = String(value);
            }
            if (typeof value !== 'string') {
                continue;
            }
            if (value.length > maxValueLength) {
                value = value.substring(0, maxValueLength);
            }
            if (total + id.length + value.length > maxTotalLength) {
                break;
            }
            total += id.length + value.length;
            values[id] = value;
            ++count;
        }
        return values;
    }

    // outerHTML writes a field's attributes, not what was typed or set since: write the live
    // state into a copy, as the system's browser did.
    function keepState(live, copy) {
        if (live.tagName === 'TEXTAREA') {
            copy.textContent = live.value;
        } else if (live.tagName === 'SELECT') {
            for (var i = 0; i < live.options.length && i < copy.options.length; ++i) {
                copy.options[i].toggleAttribute('selected', live.options[i].selected);
            }
        } else if (live.type === 'checkbox' || live.type === 'radio') {
            copy.toggleAttribute('checked', live.checked);
        } else if (live.type !== 'file') {
            copy.setAttribute('value', live.value);
        }
    }

    // A page whose own code throws while it is copied gives no body, but its click still counts.
    // A body over the cap gives false, so that the program can tell it from a missing one.
    function bodyMarkup() {
        var body = document.body;
        if (!body) {
            return null;
        }
        try {
            var copy = body.cloneNode(true);
            var fields = 'input, textarea, select';
            var live = body.querySelectorAll(fields);
            var copies = copy.querySelectorAll(fields);
            for (var i = 0; i < live.length && i < copies.length; ++i) {
                keepState(live[i], copies[i]);
            }
            var html = copy.outerHTML;
            if (typeof html !== 'string') {
                return null;
            }
            return html.length <= maxBodyLength ? html : false;
        } catch (error) {
            return null;
        }
    }

    function deliver(id, values, body) {
        if (host) {
            host.click(id, values, body);
        } else if (pending.length < maxPending) {
            pending.push([id, values, body]);
        }
    }

    if (!transport) {
        return;
    }
    new QWebChannel(transport, function (channel) {
        host = channel.objects.pageHost;
        var queued = pending;
        pending = [];
        for (var i = 0; i < queued.length; ++i) {
            host.click(queued[i][0], queued[i][1], queued[i][2]);
        }
    });

    // Bound clicks whose dispatch has not yet come back up to the window.
    var unfinished = [];

    function finish(click) {
        var at = unfinished.indexOf(click);
        if (at >= 0) {
            unfinished.splice(at, 1);
            deliver(click.id, snapshot(), capturesBody(click.id) ? bodyMarkup() : null);
        }
    }

    // Capture on the window runs before any handler of the page. A page that stops the event's
    // propagation keeps it from the bubble listener below; its values are read once the task ends.
    window.addEventListener('click', function (event) {
        var id = boundIdOf(event.target);
        if (id) {
            var click = { event: event, id: id };
            unfinished.push(click);
            setTimeout(function () { finish(click); }, 0);
        }
    }, true);

    // Bubbling back to the window ends the dispatch: the page's own handlers have run, and the
    // script that raised the click has not gone on yet, so the values are those of this click.
    window.addEventListener('click', function (event) {
        for (var i = unfinished.length - 1; i >= 0; --i) {
            if (unfinished[i].event === event) {
                finish(unfinished[i]);
                return;
            }
        }
    }, false);
})();
