// Draws the report's charts from its data block with Chart.js, and wires
// the copy buttons. The data block holds every figure; the charts only show
// them.
(function () {
  'use strict';
  var data = JSON.parse(document.getElementById('kelvora-data').textContent);
  Chart.defaults.animation = false;
  Chart.defaults.color = '#111';
  Chart.defaults.font.family = '"Noto Sans", "DejaVu Sans", Arial, sans-serif';

  var DARK = '#1d3f73', MID = '#777', LIGHT = '#d8d8d8';

  function percent(v) { return Math.round(v * 1000) / 10 + '%'; }
  function stride(n, most) { return Math.max(1, Math.ceil(n / most)); }
  function isHit(hits, i) { return hits.charCodeAt(i) === 49; }

  // Cumulative hit rate over the window, oldest to newest, with the chance
  // rate and its 95 % band p0 +- 1.96 sqrt(p0 (1 - p0) / i).
  function cumulative(canvas, hits, p0) {
    var n = hits.length, step = stride(n, 500), k = 0;
    var labels = [], rate = [], low = [], high = [], chance = [];
    for (var i = 1; i <= n; i++) {
      if (isHit(hits, i - 1)) k++;
      if (i % step !== 0 && i !== n) continue;
      var half = 1.96 * Math.sqrt(p0 * (1 - p0) / i);
      labels.push(i);
      rate.push(k / i);
      low.push(Math.max(0, p0 - half));
      high.push(Math.min(1, p0 + half));
      chance.push(p0);
    }
    new Chart(canvas, {
      type: 'line',
      data: { labels: labels, datasets: [
        { label: 'Dải ngẫu nhiên 95%', data: high, borderWidth: 0, pointRadius: 0,
          backgroundColor: 'rgba(0,0,0,0.13)', fill: '+1' },
        { label: '', data: low, borderWidth: 0, pointRadius: 0, fill: false },
        { label: 'Tỷ lệ ngẫu nhiên', data: chance, borderColor: MID, borderDash: [6, 4],
          borderWidth: 1.5, pointRadius: 0, fill: false },
        { label: 'Tỷ lệ trúng cộng dồn', data: rate, borderColor: DARK, borderWidth: 2,
          pointRadius: 0, fill: false } ] },
      options: { responsive: true, maintainAspectRatio: false,
        scales: { x: { title: { display: true, text: 'Kỳ xét (cũ → mới)' },
                       ticks: { maxTicksLimit: 8 } },
                  y: { min: 0, max: 1, ticks: { callback: percent } } },
        plugins: { legend: { labels: { filter: function (item) { return item.text !== ''; } } } } }
    });
  }

  // The hits and misses in order; on a long window each bar covers several
  // draws and its shade is their share of hits.
  function strip(canvas, hits) {
    var n = hits.length, step = stride(n, 300), values = [], colors = [], labels = [];
    for (var start = 0; start < n; start += step) {
      var end = Math.min(n, start + step), k = 0;
      for (var i = start; i < end; i++) if (isHit(hits, i)) k++;
      var share = k / (end - start), grey = Math.round(216 - share * 190);
      labels.push(end);
      values.push(1);
      colors.push('rgb(' + grey + ',' + grey + ',' + (grey + Math.round(share * 60)) + ')');
    }
    new Chart(canvas, {
      type: 'bar',
      data: { labels: labels, datasets: [{ data: values, backgroundColor: colors,
                                           barPercentage: 1, categoryPercentage: 1 }] },
      options: { responsive: true, maintainAspectRatio: false,
        plugins: { legend: { display: false }, tooltip: { enabled: false } },
        scales: { x: { display: false }, y: { display: false, min: 0, max: 1 } } }
    });
  }

  // Lengths of the runs of misses, against the geometric shape chance gives
  // them: of R runs, R p0 (1 - p0)^(L - 1) have length L.
  function missRuns(canvas, hits, p0) {
    var counts = {}, runs = 0, run = 0, longest = 0;
    for (var i = 0; i <= hits.length; i++) {
      if (i < hits.length && !isHit(hits, i)) { run++; continue; }
      if (run > 0) { counts[run] = (counts[run] || 0) + 1; runs++; longest = Math.max(longest, run); }
      run = 0;
    }
    var cap = Math.max(1, Math.min(longest, 40)), labels = [], seen = [], expected = [];
    for (var len = 1; len <= cap; len++) {
      var c = 0, e;
      if (len < cap) {
        c = counts[len] || 0;
        e = runs * p0 * Math.pow(1 - p0, len - 1);
      } else {
        for (var l in counts) if (+l >= cap) c += counts[l];
        e = runs * Math.pow(1 - p0, cap - 1);
      }
      labels.push(len < cap || cap === 1 ? String(len) : '≥' + cap);
      seen.push(c);
      expected.push(e);
    }
    new Chart(canvas, {
      type: 'bar',
      data: { labels: labels, datasets: [
        { type: 'line', label: 'Ngẫu nhiên', data: expected, borderColor: '#000',
          borderDash: [5, 3], borderWidth: 1.5, pointRadius: 0, fill: false },
        { label: 'Số chuỗi trượt', data: seen, backgroundColor: '#8a8a8a' } ] },
      options: { responsive: true, maintainAspectRatio: false,
        scales: { x: { title: { display: true, text: 'Độ dài chuỗi trượt (kỳ)' } },
                  y: { beginAtZero: true } } }
    });
  }

  // Rate minus chance at every size of the kind, per method, within the
  // 95 % band of chance at that size.
  function sweep(canvas, sw, stage) {
    var low = sw.band.map(function (b) { return -b; });
    var dashes = [[], [6, 3], [2, 2]], shades = [DARK, '#000', '#666'];
    var sets = [
      { label: 'Dải ngẫu nhiên 95%', data: sw.band, borderWidth: 0, pointRadius: 0,
        backgroundColor: 'rgba(0,0,0,0.13)', fill: '+1' },
      { label: '', data: low, borderWidth: 0, pointRadius: 0, fill: false } ];
    sw.rate_minus_chance.forEach(function (values, k) {
      sets.push({ label: 'PP' + (3 * stage + k + 1), data: values, borderColor: shades[k],
                  borderDash: dashes[k], borderWidth: 1.5, pointRadius: 0, fill: false });
    });
    new Chart(canvas, {
      type: 'line',
      data: { labels: sw.sizes, datasets: sets },
      options: { responsive: true, maintainAspectRatio: false,
        scales: { x: { title: { display: true, text: 'Cỡ dàn' }, ticks: { maxTicksLimit: 10 } },
                  y: { ticks: { callback: percent } } },
        plugins: { legend: { labels: { filter: function (item) { return item.text !== ''; } } } } }
    });
  }

  data.stages.forEach(function (stage, s) {
    if (stage.state !== 'current') return;
    if (stage.sweep) sweep(document.getElementById('sweep-' + (s + 1)), stage.sweep, s);
    var methods = s === 0 ? data.methods : data.methods_2;
    stage.hits.forEach(function (hits, k) {
      var p0 = methods[k].chance.rate, id = (s + 1) + '-' + (k + 1);
      cumulative(document.getElementById('rate-' + id), hits, p0);
      strip(document.getElementById('strip-' + id), hits);
      missRuns(document.getElementById('runs-' + id), hits, p0);
    });
  });

  // The current gan of every ending, with the 95 % range of one ending's
  // longest gan under chance.
  function gan(canvas, g) {
    var labels = [];
    for (var e = 0; e < 100; e++) labels.push((e < 10 ? '0' : '') + e);
    var low = labels.map(function () { return g.longest_gan_95[0]; });
    var high = labels.map(function () { return g.longest_gan_95[1]; });
    new Chart(canvas, {
      type: 'bar',
      data: { labels: labels, datasets: [
        { type: 'line', label: 'Gan dài nhất khi ngẫu nhiên (95%)', data: high, borderColor: '#000',
          borderDash: [6, 4], borderWidth: 1.5, pointRadius: 0, fill: false },
        { type: 'line', label: '', data: low, borderColor: '#000', borderDash: [6, 4],
          borderWidth: 1.5, pointRadius: 0, fill: false },
        { label: 'Gan hiện tại', data: g.current_gan, backgroundColor: '#5b6f99' } ] },
      options: { responsive: true, maintainAspectRatio: false,
        scales: { x: { ticks: { autoSkip: true, maxTicksLimit: 20 } }, y: { beginAtZero: true } },
        plugins: { legend: { labels: { filter: function (item) { return item.text !== ''; } } } } }
    });
  }
  if (data.gan.draws > 0) gan(document.getElementById('gan'), data.gan);

  function copy(text) {
    if (navigator.clipboard && window.isSecureContext) return navigator.clipboard.writeText(text);
    return new Promise(function (resolve, reject) {
      var area = document.createElement('textarea');
      area.value = text;
      document.body.appendChild(area);
      area.select();
      var done = document.execCommand('copy');
      document.body.removeChild(area);
      (done ? resolve : reject)();
    });
  }
  Array.prototype.forEach.call(document.querySelectorAll('button[data-copy]'), function (b) {
    b.addEventListener('click', function () {
      var label = b.textContent;
      copy(b.getAttribute('data-copy')).then(
        function () { b.textContent = 'Đã sao chép'; },
        function () { b.textContent = 'Không sao chép được'; });
      setTimeout(function () { b.textContent = label; }, 1500);
    });
  });
})();
