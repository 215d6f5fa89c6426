// The web remote's page: one WebSocket to the extension; the first message is the whole state
// document, every later one a JSON merge patch of it ("{}" is the heartbeat, at least once a
// second); a message whose "type" is not STATE is a notice, such as a refused command.
(function () {
  'use strict';
  var $ = function (id) { return document.getElementById(id); };
  var root = document.documentElement;
  var params = new URLSearchParams(location.search);
  var key = params.get('key') || '';
  var control = root.dataset.access === 'control';
  var doc = null, ws = null, retry = null;
  var lastHeard = Date.now();  // the page is given three seconds to connect
  var view = 'stage', editing = false;
  // The server speaks at least once a second: two and a half seconds of silence mean the line is
  // dead, so the page says so within three.
  var kSilence = 2500;
  var kNoteBytes = 280;

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

  function setClass(id, value) {
    var e = $(id);
    if (e.className !== value) e.className = value;
  }

  // A song's name is as large as the screen allows, on at most two lines: a longer name, or a
  // word longer than the screen is wide, is made smaller rather than cut or broken in two.
  function fitSong(song) {
    song.style.fontSize = '';
    if (!song.offsetParent) return;  // hidden: fitted when its view is shown
    var size = parseFloat(getComputedStyle(song).fontSize), smallest = size * 0.45;
    // A third line shows as a whole line more; the glyphs' own overhang is far less.
    while (size > smallest && (song.scrollHeight > song.clientHeight + size / 3 || song.scrollWidth > song.clientWidth + 1)) {
      size = Math.floor(size * 0.92);
      song.style.fontSize = size + 'px';
    }
  }
  window.addEventListener('resize', function () { fitSong($('song')); fitSong($('m-song')); });

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

  // --- the connection ---
  function setOffline(offline) {
    if (root.classList.contains('offline') === offline) return;
    root.classList.toggle('offline', offline);
    $('offline').hidden = !offline;
  }

  function heard() {
    lastHeard = Date.now();
    setOffline(false);
  }

  function connect() {
    clearTimeout(retry);
    var scheme = location.protocol === 'https:' ? 'wss://' : 'ws://';
    var socket = new WebSocket(scheme + location.host + '/ws?key=' + encodeURIComponent(key));
    ws = socket;
    socket.onmessage = function (event) {
      if (socket !== ws) return;
      var message;
      try { message = JSON.parse(event.data); } catch (e) { return; }
      if (message.type === 'STATE') { doc = message; heard(); render(); return; }
      if (message.type === 'REFUSED') { toast('Refused: ' + message.reason); return; }
      if (message.type || !doc) return;
      heard();
      if (Object.keys(message).length === 0) return;  // heartbeat
      doc = mergePatch(doc, message);
      render();
    };
    socket.onclose = function () {
      if (socket !== ws) return;
      ws = null;
      setOffline(true);
      retry = setTimeout(connect, 1000);
    };
  }

  function reconnectNow() {
    var old = ws;
    ws = null;
    if (old) { try { old.close(); } catch (e) { /* already closing */ } }
    connect();
  }

  setInterval(function () {
    var silent = Date.now() - lastHeard > kSilence;
    if (silent) setOffline(true);
    text('offline-detail', 'reconnecting… last heard ' + clock((Date.now() - lastHeard) / 1000) + ' ago');
    if (silent && ws && ws.readyState === 1) reconnectNow();
  }, 200);

  // --- keeping the screen on ---
  // Browsers give the wake lock only to secure pages (https, or loopback); a band's phone opens
  // http://192.168.x.x, where a silent looping video does the same, started by the first tap.
  var wakeLock = null, noSleep = null, awakeFailed = false;

  function showAwake() {
    var on = !!wakeLock || !!(noSleep && noSleep.isEnabled);
    var e = $('awake');
    e.className = 'awake' + (on ? ' on' : '');
    e.dataset.mode = wakeLock ? 'wake-lock' : on ? 'video' : 'none';
    text('awake', on ? '☀ screen kept on'
      : awakeFailed ? 'screen may sleep'
        : 'wakeLock' in navigator ? 'screen may sleep' : 'tap to keep the screen on');
  }

  function keepAwake() {
    if (document.visibilityState !== 'visible') return;
    if ('wakeLock' in navigator) {
      if (wakeLock) return;
      navigator.wakeLock.request('screen').then(function (lock) {
        wakeLock = lock;
        lock.addEventListener('release', function () { wakeLock = null; showAwake(); });
        showAwake();
      }).catch(function () { awakeFailed = true; showAwake(); });
      return;
    }
    if (!tapped || (noSleep && noSleep.isEnabled)) return;
    if (!noSleep && typeof NoSleep === 'function') noSleep = new NoSleep();
    if (noSleep) {
      noSleep.enable().then(showAwake, function () { awakeFailed = true; showAwake(); });
    }
  }
  // A tap is what lets a page play the video (and retries a refused wake lock).
  var tapped = false;
  document.addEventListener('pointerup', function () {
    tapped = true;
    if (!wakeLock && !(noSleep && noSleep.isEnabled)) keepAwake();
  }, true);

  document.addEventListener('visibilitychange', function () {
    if (document.visibilityState !== 'visible') return;
    // Back from the pocket: the socket may have died unnoticed while the page slept.
    reconnectNow();
    if (wakeLock || 'wakeLock' in navigator) keepAwake();
    else if (noSleep && !noSleep.isEnabled) noSleep.enable().then(showAwake, showAwake);
  });

  // --- rendering ---
  function regionById(id) {
    for (var i = 0; i < doc.regions.length; i++) if (doc.regions[i].id === id) return doc.regions[i];
    return null;
  }

  function itemAt(index) {
    return index >= 0 && index < doc.setlist.length ? doc.setlist[index] : null;
  }

  // Seconds to levels: the words and shapes carry the warning as well as the colour.
  function songLevel(left) {
    if (left < 0) return ['over', '✕ OVER'];
    if (left <= 15) return ['alert', '■ ENDING'];
    if (left <= 60) return ['warn', '▲ LAST MINUTE'];
    return ['normal', ''];
  }

  function setLevel(left) {
    if (left < 0) return ['over', '✕ OVER SET'];
    if (left <= 120) return ['alert', '■ SET ENDING'];
    if (left <= 600) return ['warn', '▲ SET LEFT'];
    return ['normal', 'set left'];
  }

  function render() {
    if (!doc) return;
    var s = stageState();
    renderStage(s);
    renderMonitor(s);
    renderSetlist();
    renderPractise();
    renderTracks();
  }

  // What the show and monitor views share.
  function stageState() {
    var item = itemAt(doc.currentIndex);
    var region = item && !item.pause ? regionById(item.regionId) : null;
    var duration = region ? region.duration : 0;
    var into = region && doc.playing ? Math.max(doc.position - region.start, 0) : 0;
    var left = Math.floor(duration - into);
    var live = doc.showStatus === 'LIVE';
    var setSeconds = doc.setup.durationMinutes * 60;
    var setLeft = live && doc.showRemaining <= 0 ? -Math.max(doc.showElapsed - setSeconds, 1) : Math.floor(doc.showRemaining);
    var next = itemAt(doc.currentIndex + 1);
    return {
      live: live, item: item, region: region, duration: duration, into: into,
      leftText: region ? (left < 0 ? '+' + clock(-left) : '-' + clock(left)) : '—',
      songLevel: region && doc.playing ? songLevel(left) : ['normal', ''],
      setText: setLeft < 0 ? '+' + clock(-setLeft) : clock(setLeft),
      setLevel: live ? setLevel(setLeft) : ['normal', 'set left'],
      next: next, deck: itemAt(doc.currentIndex + 2),
      delayClass: doc.hasDelay ? 'delay late' : 'delay none',
      delayText: doc.hasDelay ? 'LATE +' + clock(doc.delaySeconds) : 'on time'
    };
  }

  function renderStage(s) {
    var status = doc.showStatus;
    setClass('status', status);
    text('status', status === 'LIVE' ? (doc.playing ? 'LIVE · playing' : 'LIVE · stopped') : status);
    text('project', doc.projectName);
    $('resumed').hidden = !doc.resumed;
    if (text('song', s.item ? s.item.name : '—')) fitSong($('song'));
    text('marker', doc.currentMarkerName || '');
    text('note', s.item ? s.item.note || '' : '');
    text('left', s.leftText);
    setClass('left', s.songLevel[0]);
    text('left-tag', s.songLevel[1]);
    setClass('left-tag', 'level-tag ' + s.songLevel[0]);
    var fill = s.duration > 0 ? Math.min(100, 100 * s.into / s.duration) : 0;
    $('progress-fill').style.width = fill.toFixed(1) + '%';
    text('next', s.next ? s.next.name : 'end of the show');
    text('next-note', s.next ? s.next.note || '' : '');
    text('elapsed', clock(doc.showElapsed));
    text('remaining', s.setText);
    setClass('remaining', s.setLevel[0]);
    text('remaining-label', s.setLevel[1]);
    setClass('delay', s.delayClass);
    text('delay', s.delayText);
    text('music', clock(doc.playbackRemaining));
    $('start').hidden = s.live;
    $('next-btn').disabled = !s.live;
    text('replay', doc.liveTransport === 'REPLAY' ? 'Re-play' : 'Play current');
    $('end').disabled = !s.live;
    renderSongs($('live-list'), false);
    renderSections();
  }

  // The playing song's sections: where play is, where a queued jump goes and when it lands.
  function sectionState() {
    var sections = doc.sections || [];
    var queued = doc.queuedSection >= 0 ? sections[doc.queuedSection] : null;
    // The part before a song's first marker has no name: it is where the song starts.
    var name = function (i) { return sections[i].name || (i === 0 ? 'Start' : 'Section ' + (i + 1)); };
    var lands = '';
    if (queued) {
      var wait = doc.playing ? Math.max(0, Math.ceil(doc.queuedAt - doc.position)) : 0;
      lands = '→ ' + name(doc.queuedSection) + (doc.queuedAt > 0 ? ' in ' + wait + ' s' : ' at the section end');
    }
    return { sections: sections, name: name, lands: lands };
  }

  function renderSections() {
    var q = sectionState();
    var shown = doc.playing && q.sections.length > 0;
    $('section-row').hidden = !shown;
    $('queued').hidden = !q.lands;
    text('queued', q.lands);
    var vamp = $('vamp');
    vamp.classList.toggle('on', !!doc.vamp);
    vamp.setAttribute('aria-pressed', String(!!doc.vamp));
    vamp.dataset.enabled = String(!doc.vamp);
    var strip = $('sections');
    var signature = JSON.stringify([q.sections, doc.sectionIndex, doc.queuedSection]);
    if (strip.dataset.sig === signature) return;
    strip.dataset.sig = signature;
    strip.replaceChildren.apply(strip, q.sections.map(function (section, i) {
      var b = el('button', 'section', q.name(i));
      if (i === doc.sectionIndex) { b.classList.add('now'); b.setAttribute('aria-current', 'true'); }
      if (i === doc.queuedSection) b.classList.add('queued');
      // Tapping the queued section again takes the jump back.
      b.dataset.cmd = i === doc.queuedSection ? 'LIVE_CANCEL_JUMP' : 'LIVE_JUMP_SECTION';
      b.dataset.index = i;
      b.disabled = !control;
      return b;
    }));
  }

  function renderMonitor(s) {
    if (text('m-song', s.item ? s.item.name : '—')) fitSong($('m-song'));
    text('m-marker', doc.currentMarkerName || '');
    text('m-note', s.item ? s.item.note || '' : '');
    var q = sectionState();
    $('m-vamp').hidden = !(doc.playing && doc.vamp);
    $('m-queued').hidden = !q.lands;
    text('m-queued', q.lands);
    text('m-left', s.leftText);
    setClass('m-left', s.songLevel[0]);
    text('m-left-tag', s.songLevel[1]);
    setClass('m-left-tag', 'level-tag ' + s.songLevel[0]);
    text('m-next', s.next ? s.next.name : 'end of the show');
    text('m-next-note', s.next ? s.next.note || '' : '');
    text('m-deck', s.deck ? s.deck.name : '—');
    text('m-elapsed', clock(doc.showElapsed));
    text('m-remaining', s.setText);
    setClass('m-remaining', s.setLevel[0]);
    text('m-remaining-label', s.setLevel[1]);
    setClass('m-delay', s.delayClass);
    text('m-delay', s.delayText);
  }

  function renderSongs(list, editable) {
    var signature = JSON.stringify([doc.setlist, doc.currentIndex, doc.showStatus, editable && editing]);
    if (list.dataset.sig === signature) return;
    list.dataset.sig = signature;
    var n = doc.currentIndex + 1;
    var items = doc.setlist.map(function (item) {
      var li = el('li');
      li.dataset.index = item.index;
      if (item.pause) li.classList.add('pause');
      if (item.played) li.classList.add('played');
      if (item.index === doc.currentIndex) li.classList.add('current');
      if (item.index === n && doc.showStatus === 'LIVE') li.classList.add('next');
      li.appendChild(el('span', 'n', item.pause ? '' : String(item.index + 1)));
      li.appendChild(el('span', 't', item.name));
      if (item.autoStart) li.appendChild(el('span', 'tag', 'auto'));
      if (!item.pause) li.appendChild(el('span', 'd', clock(item.duration)));
      if (item.note) li.appendChild(el('span', 'note', item.note));
      // Editing gets a line of its own under the name, so the names keep the whole width.
      if (editable && editing && control) {
        var tools = el('div', 'tools');
        [['↑', 'SETUP_MOVE_UP', 'Move ' + item.name + ' up'],
          ['↓', 'SETUP_MOVE_DOWN', 'Move ' + item.name + ' down'],
          ['Auto', 'SETUP_TOGGLE_AUTOSTART', 'Auto: start ' + item.name + ' by itself'],
          ['Note', '', 'Note for ' + item.name],
          ['✕', 'SETUP_REMOVE', 'Remove ' + item.name]].forEach(function (b) {
          if (b[1] === 'SETUP_TOGGLE_AUTOSTART' && item.pause) return;
          var button = el('button', b[1] === 'SETUP_TOGGLE_AUTOSTART' && item.autoStart ? 'on' : '', b[0]);
          if (b[1]) button.dataset.cmd = b[1]; else button.className = 'edit-note';
          if (b[1] === 'SETUP_TOGGLE_AUTOSTART') button.setAttribute('aria-pressed', String(item.autoStart));
          button.dataset.index = item.index;
          button.setAttribute('aria-label', b[2]);
          tools.appendChild(button);
        });
        li.appendChild(tools);
      }
      return li;
    });
    list.replaceChildren.apply(list, items);
  }

  function renderSetlist() {
    renderSongs($('setup-list'), true);
    text('totals', doc.setup.songCount + ' songs · ' + doc.setup.musicTime + ' · set ' + doc.setup.durationMinutes + ' min');
    var inList = {};
    doc.setlist.forEach(function (i) { inList[i.regionId] = true; });
    var missing = doc.regions.filter(function (r) { return !inList[r.id]; });
    var signature = JSON.stringify(missing);
    if ($('regions').dataset.sig === signature) return;
    $('regions').dataset.sig = signature;
    $('regions').replaceChildren.apply($('regions'), missing.map(function (r) {
      var b = el('button', 'chip', '+ ' + r.name);
      b.dataset.cmd = 'SETUP_ADD_REGION';
      b.dataset.region = r.id;
      return b;
    }));
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
    var list = $('tracks');
    var signature = JSON.stringify(doc.soundCheck);
    if (list.dataset.sig === signature) return;
    list.dataset.sig = signature;
    var rows = doc.soundCheck.map(function (t) {
      var li = el('li');
      var name = el('span', 't', t.name);
      name.style.paddingLeft = (t.indentLevel * 1.2) + 'rem';
      li.appendChild(name);
      if (control) {
        var m = el('button', t.muted ? 'on' : '', 'M');
        m.dataset.cmd = 'PROJECT_TRACK_MUTE'; m.dataset.track = t.trackIndex; m.dataset.value = !t.muted;
        m.setAttribute('aria-label', 'Mute ' + t.name); m.setAttribute('aria-pressed', String(t.muted));
        var s = el('button', t.soloed ? 'on' : '', 'S');
        s.dataset.cmd = 'PROJECT_TRACK_SOLO'; s.dataset.track = t.trackIndex; s.dataset.value = !t.soloed;
        s.setAttribute('aria-label', 'Solo ' + t.name); s.setAttribute('aria-pressed', String(t.soloed));
        li.appendChild(m); li.appendChild(s);
      }
      return li;
    });
    list.replaceChildren.apply(list, rows);
  }

  // --- input ---
  function commandFor(button) {
    var c = { cmd: button.dataset.cmd };
    if (button.dataset.index !== undefined) c.index = Number(button.dataset.index);
    if (button.dataset.region !== undefined) c.regionId = Number(button.dataset.region);
    if (c.cmd === 'LIVE_JUMP_SECTION') c.when = 1;  // on the next bar line
    if (button.dataset.enabled !== undefined) c.enabled = button.dataset.enabled === 'true';
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
    var noteButton = event.target.closest('button.edit-note');
    if (noteButton) { openNote(Number(noteButton.dataset.index)); return; }
    var row = event.target.closest('#live-list li');
    if (row && doc && !doc.playing && control) {
      send({ cmd: 'LIVE_SELECT', index: Number(row.dataset.index) });
    }
    var tab = event.target.closest('#tabs button');
    if (tab) showView(tab.dataset.view, true);
  });

  function showView(name, fromTab) {
    if (!$(name) || !$(name).classList.contains('view')) name = 'stage';
    view = name;
    document.querySelectorAll('#tabs button').forEach(function (b) { b.classList.toggle('on', b.dataset.view === name); });
    document.querySelectorAll('.view').forEach(function (v) { v.classList.toggle('on', v.id === name); });
    root.classList.toggle('monitor', name === 'monitor');
    if (fromTab) {
      // The address keeps the view, so a reload or a bookmark opens it again.
      params.set('view', name);
      history.replaceState(null, '', '?' + params.toString());
    }
    fitSong($(name === 'monitor' ? 'm-song' : 'song'));
    if (!fromTab || !doc || !control) return;
    // The window follows, as when its own mode buttons are pressed.
    if (name === 'practise' && doc.page !== 'PRACTISE') send({ cmd: 'MODE_PRACTISE' });
    if (name === 'soundcheck' && doc.page !== 'SOUND_CHECK') send({ cmd: 'MODE_SOUND_CHECK' });
    if (name === 'setlist' && doc.page !== 'SETLIST_SETUP' && doc.showStatus !== 'LIVE') send({ cmd: 'OPEN_LIVE_SETUP' });
  }
  $('m-exit').addEventListener('click', function () { showView('stage', true); });

  $('edit').addEventListener('click', function () {
    editing = !editing;
    $('edit').setAttribute('aria-pressed', String(editing));
    text('edit', editing ? 'Done' : 'Edit');
    if (doc) renderSetlist();
  });

  // --- notes ---
  var noteIndex = -1;
  function noteBytes() { return new TextEncoder().encode($('note-text').value).length; }
  function showNoteCount() {
    var bytes = noteBytes();
    text('note-count', bytes + ' / ' + kNoteBytes + ' bytes' + (bytes > kNoteBytes ? ' — too long' : ''));
    $('note-count').className = bytes > kNoteBytes ? 'over' : '';
  }
  function openNote(index) {
    var item = doc && itemAt(index);
    if (!item) return;
    noteIndex = index;
    text('note-title', 'Note for ' + item.name);
    $('note-text').value = item.note || '';
    showNoteCount();
    $('note-sheet').hidden = false;
    $('note-text').focus();
  }
  $('note-text').addEventListener('input', showNoteCount);
  $('note-cancel').addEventListener('click', function () { $('note-sheet').hidden = true; });
  $('note-form').addEventListener('submit', function (event) {
    event.preventDefault();
    if (noteBytes() > kNoteBytes) return;
    // The index before the note: the extension reads each key where its name first stands.
    send({ cmd: 'SETUP_NOTE', index: noteIndex, note: $('note-text').value });
    $('note-sheet').hidden = true;
  });

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
    $('qr').innerHTML = q.createSvgTag({ cellSize: 6, margin: 2, scalable: true, alt: 'QR code of this address' });
    text('qr-text', location.href);
    $('qr-sheet').hidden = false;
  });
  $('qr-sheet').addEventListener('click', function () { $('qr-sheet').hidden = true; });

  // A view-only key is for a screen on stage: the monitor view, unless the address names another.
  showView(params.get('view') || (control ? 'stage' : 'monitor'), false);
  showAwake();
  keepAwake();
  connect();
})();
