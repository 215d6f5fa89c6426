// The web remote's page: one WebSocket to the extension; the first message is the whole state
// document, every later one a JSON merge patch of it ("{}" is the heartbeat); a message whose
// "type" is not STATE is a notice, such as a refused command.
(function () {
  'use strict';
  var $ = function (id) { return document.getElementById(id); };
  var key = new URLSearchParams(location.search).get('key') || '';
  var doc = null, ws = null, lastHeard = 0, retry = null, wakeLock = null;

  function mergePatch(target, patch) {
    if (patch === null || typeof patch !== 'object' || Array.isArray(patch)) return patch;
    if (target === null || typeof target !== 'object' || Array.isArray(target)) target = {};
    Object.keys(patch).forEach(function (k) {
      if (patch[k] === null) delete target[k];
      else target[k] = mergePatch(target[k], patch[k]);
    });
    return target;
  }

  function clock(seconds) {
    var s = Math.max(0, Math.floor(seconds || 0));
    var h = Math.floor(s / 3600), m = Math.floor(s / 60) % 60, r = s % 60;
    var mm = h ? (m < 10 ? '0' : '') + m : String(m);
    return (h ? h + ':' : '') + mm + ':' + (r < 10 ? '0' : '') + r;
  }

  function text(id, value) {
    var e = $(id);
    if (e.textContent === value) return false;
    e.textContent = value;
    return true;
  }

  // The song's name is as large as the screen allows (a tenth of its height), but a word longer
  // than the screen is wide is made smaller rather than broken in two.
  function fitSong() {
    var song = $('song');
    song.style.fontSize = '';
    if (song.scrollWidth > song.clientWidth + 1) {
      var size = parseFloat(getComputedStyle(song).fontSize);
      song.style.fontSize = Math.floor(size * song.clientWidth / song.scrollWidth) + 'px';
    }
  }
  window.addEventListener('resize', fitSong);

  function el(tag, cls, content) {
    var e = document.createElement(tag);
    if (cls) e.className = cls;
    if (content !== undefined) e.textContent = content;
    return e;
  }

  function send(command) {
    if (ws && ws.readyState === 1) ws.send(JSON.stringify(command));
  }

  var toastTimer = null;
  function toast(message) {
    var t = $('toast');
    t.textContent = message;
    t.hidden = false;
    clearTimeout(toastTimer);
    toastTimer = setTimeout(function () { t.hidden = true; }, 2500);
  }

  function setLink(up) {
    var l = $('link');
    l.className = up ? 'up' : 'down';
    l.textContent = up ? 'connected' : 'reconnecting…';
  }

  // --- the connection ---
  function connect() {
    clearTimeout(retry);
    var scheme = location.protocol === 'https:' ? 'wss://' : 'ws://';
    ws = new WebSocket(scheme + location.host + '/ws?key=' + encodeURIComponent(key));
    var socket = ws;
    socket.onopen = function () { lastHeard = Date.now(); };
    socket.onmessage = function (event) {
      if (socket !== ws) return;
      lastHeard = Date.now();
      var message;
      try { message = JSON.parse(event.data); } catch (e) { return; }
      if (message.type === 'STATE') { doc = message; setLink(true); keepAwake(); render(); return; }
      if (message.type === 'REFUSED') { toast('Refused: ' + message.reason); return; }
      if (message.type || !doc) return;
      if (Object.keys(message).length === 0) return;  // heartbeat
      doc = mergePatch(doc, message);
      render();
    };
    socket.onclose = function () {
      if (socket !== ws) return;
      ws = null;
      setLink(false);
      retry = setTimeout(connect, 1000);
    };
  }

  // Each second the server says something; three seconds of silence mean the line is dead.
  setInterval(function () {
    if (ws && ws.readyState === 1 && Date.now() - lastHeard > 3000) {
      var dead = ws;
      ws = null;
      try { dead.close(); } catch (e) { /* already closing */ }
      setLink(false);
      retry = setTimeout(connect, 500);
    }
  }, 500);

  function keepAwake() {
    if (!('wakeLock' in navigator) || wakeLock || document.visibilityState !== 'visible') return;
    navigator.wakeLock.request('screen').then(function (lock) {
      wakeLock = lock;
      lock.addEventListener('release', function () { wakeLock = null; });
    }).catch(function () { /* not allowed here: the screen may sleep */ });
  }
  document.addEventListener('visibilitychange', keepAwake);

  // --- rendering ---
  function regionById(id) {
    for (var i = 0; i < doc.regions.length; i++) if (doc.regions[i].id === id) return doc.regions[i];
    return null;
  }

  function nextIndex() {
    return doc.currentIndex + 1 < doc.setlist.length ? doc.currentIndex + 1 : -1;
  }

  function render() {
    if (!doc) return;
    renderStage();
    renderSetlist();
    renderPractise();
    renderTracks();
  }

  function renderStage() {
    var status = doc.showStatus;
    var s = $('status');
    s.className = status;
    text('status', status === 'LIVE' ? (doc.playing ? 'LIVE · playing' : 'LIVE · stopped') : status);
    text('project', doc.projectName);
    var item = doc.setlist[doc.currentIndex];
    if (text('song', item ? item.name : '—')) fitSong();
    text('marker', doc.currentMarkerName || '');
    var region = item && !item.pause ? regionById(item.regionId) : null;
    var into = region && doc.playing ? Math.min(Math.max(doc.position - region.start, 0), region.duration) : 0;
    var duration = region ? region.duration : 0;
    text('left', region ? '-' + clock(duration - into) : '—');
    $('progress-fill').style.width = (duration > 0 ? (100 * into / duration) : 0).toFixed(1) + '%';
    var n = nextIndex();
    text('next', n >= 0 ? doc.setlist[n].name : 'end of the show');
    text('elapsed', clock(doc.showElapsed));
    text('remaining', clock(doc.showRemaining));
    text('music', clock(doc.playbackRemaining));
    var delay = $('delay');
    delay.className = doc.hasDelay ? 'late' : 'none';
    text('delay', doc.hasDelay ? 'LATE +' + clock(doc.delaySeconds) : 'on time');
    var live = status === 'LIVE';
    $('start').disabled = false;
    text('start', live ? 'Restart show' : 'Start show');
    $('start').style.display = live ? 'none' : '';
    $('next-btn').disabled = !live;
    text('replay', doc.liveTransport === 'REPLAY' ? 'Re-play' : 'Play current');
    $('end').disabled = !live;
    renderSongs($('live-list'), false);
  }

  function renderSongs(list, editable) {
    var played = 0;
    var n = nextIndex();
    var items = doc.setlist.map(function (item) {
      var li = el('li');
      li.dataset.index = item.index;
      if (item.pause) li.classList.add('pause');
      if (item.played) { li.classList.add('played'); played++; }
      if (item.index === doc.currentIndex) li.classList.add('current');
      if (item.index === n && doc.showStatus === 'LIVE') li.classList.add('next');
      li.appendChild(el('span', 'n', item.pause ? '' : String(item.index + 1)));
      li.appendChild(el('span', 't', item.name));
      if (item.autoStart) li.appendChild(el('span', 'tag', 'auto'));
      if (!item.pause) li.appendChild(el('span', 'd', clock(item.duration)));
      if (editable && document.documentElement.dataset.access === 'control') {
        [['↑', 'SETUP_MOVE_UP'], ['↓', 'SETUP_MOVE_DOWN'], ['A', 'SETUP_TOGGLE_AUTOSTART'], ['✕', 'SETUP_REMOVE']]
          .forEach(function (b) {
            var button = el('button', b[1] === 'SETUP_TOGGLE_AUTOSTART' && item.autoStart ? 'on' : '', b[0]);
            button.dataset.cmd = b[1];
            button.dataset.index = item.index;
            button.title = b[1];
            li.appendChild(button);
          });
      }
      return li;
    });
    list.replaceChildren.apply(list, items);
    return played;
  }

  function renderSetlist() {
    renderSongs($('setup-list'), true);
    text('totals', doc.setup.songCount + ' songs · ' + doc.setup.musicTime + ' · set ' + doc.setup.durationMinutes + ' min');
    var inList = {};
    doc.setlist.forEach(function (i) { inList[i.regionId] = true; });
    var chips = doc.regions.filter(function (r) { return !inList[r.id]; }).map(function (r) {
      var b = el('button', 'chip', '+ ' + r.name);
      b.dataset.cmd = 'SETUP_ADD_REGION';
      b.dataset.region = r.id;
      return b;
    });
    $('regions').replaceChildren.apply($('regions'), chips);
  }

  function fillSelect(select, options, value) {
    var signature = JSON.stringify(options);
    if (select.dataset.sig !== signature) {
      select.replaceChildren.apply(select, options.map(function (o) {
        var option = el('option', '', o[1]);
        option.value = String(o[0]);
        return option;
      }));
      select.dataset.sig = signature;
    }
    if (document.activeElement !== select) select.value = String(value);
  }

  function renderPractise() {
    var p = doc.practise;
    fillSelect($('p-song'), doc.regions.map(function (r) { return [r.id, r.name]; }), p.regionId);
    var markers = p.markers.map(function (m) { return [m.index, m.name || 'marker ' + (m.index + 1)]; });
    fillSelect($('p-start'), [[-2, 'start of song']].concat(markers), p.startChoice);
    fillSelect($('p-stop'), [[-1, 'end of song']].concat(markers), p.stopChoice);
    fillSelect($('p-count'), [[0, 'none'], [4, '4 beats'], [8, '8 beats']], p.precountBeats);
    var rates = [];
    for (var i = 0; i <= 20; i++) { var r = (50 + 5 * i) / 100; rates.push([r.toFixed(2), Math.round(r * 100) + '%']); }
    fillSelect($('p-rate'), rates, p.rate.toFixed(2));
    $('p-loop').checked = p.loop;
    var state = p.countingIn ? 'counting in…' : p.playing ? 'playing ' + (p.songName || '') : p.active ? 'starting…' : 'stopped';
    text('p-state', state + (p.playing ? ' · ' + clock(p.position) : ''));
  }

  function renderTracks() {
    var rows = doc.soundCheck.map(function (t) {
      var li = el('li');
      var name = el('span', 't', t.name);
      name.style.paddingLeft = (t.indentLevel * 1.2) + 'rem';
      li.appendChild(name);
      if (document.documentElement.dataset.access === 'control') {
        var m = el('button', t.muted ? 'on' : '', 'M');
        m.dataset.cmd = 'PROJECT_TRACK_MUTE'; m.dataset.track = t.trackIndex; m.dataset.value = !t.muted;
        var s = el('button', t.soloed ? 'on' : '', 'S');
        s.dataset.cmd = 'PROJECT_TRACK_SOLO'; s.dataset.track = t.trackIndex; s.dataset.value = !t.soloed;
        li.appendChild(m); li.appendChild(s);
      }
      return li;
    });
    $('tracks').replaceChildren.apply($('tracks'), rows);
  }

  // --- input ---
  function commandFor(button) {
    var c = { cmd: button.dataset.cmd };
    if (button.dataset.index !== undefined) c.index = Number(button.dataset.index);
    if (button.dataset.region !== undefined) c.regionId = Number(button.dataset.region);
    if (button.dataset.track !== undefined) {
      c.trackIndex = Number(button.dataset.track);
      c[c.cmd === 'PROJECT_TRACK_MUTE' ? 'muted' : 'soloed'] = button.dataset.value === 'true';
    }
    return c;
  }

  // Stop and end show need a hold, or a second tap within three seconds, so a brush of the hand
  // cannot stop a show.
  var holdTimer = null, fired = false;
  document.addEventListener('pointerdown', function (event) {
    var button = event.target.closest('.hold');
    if (!button || button.disabled) return;
    fired = false;
    button.style.setProperty('--hold', button.dataset.hold + 'ms');
    button.classList.add('holding');
    holdTimer = setTimeout(function () {
      fired = true;
      button.classList.remove('holding', 'armed');
      send(commandFor(button));
    }, Number(button.dataset.hold));
  });
  ['pointerup', 'pointercancel', 'pointerleave'].forEach(function (type) {
    document.addEventListener(type, function () {
      clearTimeout(holdTimer);
      document.querySelectorAll('.holding').forEach(function (b) { b.classList.remove('holding'); });
    }, true);
  });

  document.addEventListener('click', function (event) {
    var button = event.target.closest('button[data-cmd]');
    if (button) {
      if (button.classList.contains('hold')) {
        if (fired) return;
        if (button.classList.contains('armed')) {
          button.classList.remove('armed');
          send(commandFor(button));
        } else {
          button.classList.add('armed');
          toast('Hold, or tap again, to ' + button.firstChild.textContent.toLowerCase());
          setTimeout(function () { button.classList.remove('armed'); }, 3000);
        }
        return;
      }
      send(commandFor(button));
      return;
    }
    var row = event.target.closest('#live-list li');
    if (row && doc && !doc.playing && document.documentElement.dataset.access === 'control') {
      send({ cmd: 'LIVE_SELECT', index: Number(row.dataset.index) });
    }
    var tab = event.target.closest('#tabs button');
    if (tab) showView(tab.dataset.view);
  });

  function showView(name) {
    document.querySelectorAll('#tabs button').forEach(function (b) { b.classList.toggle('on', b.dataset.view === name); });
    document.querySelectorAll('.view').forEach(function (v) { v.classList.toggle('on', v.id === name); });
    if (!doc || document.documentElement.dataset.access !== 'control') return;
    // The window follows, as when its own mode buttons are pressed.
    if (name === 'practise' && doc.page !== 'PRACTISE') send({ cmd: 'MODE_PRACTISE' });
    if (name === 'soundcheck' && doc.page !== 'SOUND_CHECK') send({ cmd: 'MODE_SOUND_CHECK' });
    if (name === 'setlist' && doc.page !== 'SETLIST_SETUP' && doc.showStatus !== 'LIVE') send({ cmd: 'OPEN_LIVE_SETUP' });
  }

  $('p-song').addEventListener('change', function (e) { send({ cmd: 'PRACTISE_REGION', index: Number(e.target.value) }); });
  $('p-start').addEventListener('change', function (e) { send({ cmd: 'PRACTISE_START', index: Number(e.target.value) }); });
  $('p-stop').addEventListener('change', function (e) { send({ cmd: 'PRACTISE_STOP_POINT', index: Number(e.target.value) }); });
  $('p-count').addEventListener('change', function (e) { send({ cmd: 'PRACTISE_PRECOUNT', beats: Number(e.target.value) }); });
  $('p-rate').addEventListener('change', function (e) { send({ cmd: 'PRACTISE_RATE', rate: Number(e.target.value) }); });
  $('p-loop').addEventListener('change', function (e) { send({ cmd: 'PRACTISE_LOOP', enabled: e.target.checked }); });

  // --- sharing the address ---
  $('share').addEventListener('click', function () {
    var q = qrcode(0, 'M');
    q.addData(location.href);
    q.make();
    $('qr').innerHTML = q.createSvgTag({ cellSize: 6, margin: 2, scalable: true });
    text('qr-text', location.href);
    $('qr-sheet').hidden = false;
  });
  $('qr-sheet').addEventListener('click', function () { $('qr-sheet').hidden = true; });

  connect();
})();
