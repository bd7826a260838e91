// Forwards clicks on bound elements, with the values of the page's elements, to the host.
// Wrapped by the host around qwebchannel.js, so nothing here is visible to the page's scripts.
(function () {
    'use strict';
    var maxIdLength = @MAX_ID_LENGTH@;
    var maxValueLength = @MAX_VALUE_LENGTH@;
    var maxIds = @MAX_IDS@;
    var maxTotalLength = @MAX_TOTAL_LENGTH@;
    var maxPending = 64;
    var initialBoundIds = @BOUND_IDS@;
    var transport = window.qt && window.qt.webChannelTransport;
    var host = null;
    var pending = [];

    function boundIds() {
        return host ? host.boundIds : initialBoundIds;
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

    function deliver(id, values) {
        if (host) {
            host.click(id, values);
        } else if (pending.length < maxPending) {
            pending.push([id, values]);
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
            host.click(queued[i][0], queued[i][1]);
        }
    });

    // Capture on the window runs before any handler of the page; the values are read once the
    // event has been dispatched, so what the page's own onclick sets is seen.
    window.addEventListener('click', function (event) {
        var id = boundIdOf(event.target);
        if (id) {
            setTimeout(function () { deliver(id, snapshot()); }, 0);
        }
    }, true);
})();
