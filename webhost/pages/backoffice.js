// Records each re-send of a transaction's result with the host, as a back office keeps them.
(function () {
  var button = document.getElementById('ButtonReSend');
  var transId = document.getElementById('TransId');
  if (button && transId) {
    button.addEventListener('click', function () {
      fetch('/wb/order/resend', { method: 'POST', body: new URLSearchParams({ transid: transId.value }) });
    });
  }
})();
