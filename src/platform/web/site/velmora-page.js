// The page around the engine: loads the game and the fonts into the engine's
// file system, keeps the saves and settings in IndexedDB, shows PB on the
// canvas, turns the player's input into the runner's event lines, draws the
// engine's forms as HTML and, with ?test=1, offers window.velmora.
'use strict';
(function () {
  const params = new URLSearchParams(location.search);
  const testMode = params.get('test') === '1';
  const gamePath = (params.get('game') || 'game').replace(/\/+$/, '');
  const canvas = document.getElementById('screen');
  const ctx = canvas.getContext('2d');
  const notice = document.getElementById('notice');
  const noticeText = document.getElementById('notice-text');
  const formLayer = document.getElementById('form-layer');
  let queue = [];            // event lines not yet taken by the engine
  let waiting = [];          // events() promises, resolved when the clock stands still
  let readyResolve;
  const ready = new Promise((resolve) => { readyResolve = resolve; });
  let running = false;
  let localFiles = null;     // a folder the player picked: [path, File]

  // ---- Layout: the 4:3 picture as large as the screen allows, with black
  // bars, whole factors crisp, other sizes smooth; the tool bar above it, in
  // portrait below it, and in a side bar when the screen is wide enough to
  // hold it beside the picture. A finger gets buttons of 44 CSS px and more.
  const toolbar = document.getElementById('toolbar');
  const coarse = window.matchMedia ? window.matchMedia('(pointer: coarse)') : { matches: false };
  function fit() {
    const dpr = window.devicePixelRatio || 1;
    const vw = window.innerWidth, vh = window.innerHeight;
    const touchSized = coarse.matches;
    toolbar.classList.toggle('coarse', touchSized);
    const bar = touchSized ? 52 : 28, side = touchSized ? 116 : 96;
    const place = vh > vw ? 'bottom' : vw - vh * 4 / 3 >= side ? 'side' : 'top';
    const aw = place === 'side' ? vw - side : vw, ah = place === 'side' ? vh : vh - bar;
    const W = Math.floor(aw * dpr), H = Math.floor(ah * dpr);
    const k = Math.min(Math.floor(W / 800), Math.floor(H / 600));
    let w, h;
    if (W * 3 <= H * 4) { w = W; h = Math.floor(W * 3 / 4); } else { h = H; w = Math.floor(H * 4 / 3); }
    const whole = k >= 1 && w - k * 800 <= 2 && h - k * 600 <= 2;
    if (whole) { w = k * 800; h = k * 600; }
    const pw = w / dpr, ph = h / dpr;
    const snap = (v) => Math.round(v * dpr) / dpr;  // on device pixels, so whole factors stay sharp
    let left, top;
    const bs = toolbar.style;
    if (place === 'side') {
      left = snap(side + (vw - side - pw) / 2);
      top = snap((vh - ph) / 2);
      Object.assign(bs, { left: '0px', top: '0px', width: side + 'px', height: vh + 'px' });
    } else {
      left = snap((vw - pw) / 2);
      const block = snap((vh - ph - bar) / 2);
      top = place === 'top' ? block + bar : block;
      Object.assign(bs, { left: left + 'px', top: (place === 'top' ? block : block + ph) + 'px',
        width: pw + 'px', height: bar + 'px' });
    }
    toolbar.dataset.place = place;
    canvas.classList.toggle('crisp', whole);
    canvas.style.width = pw + 'px';
    canvas.style.height = ph + 'px';
    canvas.style.left = left + 'px';
    canvas.style.top = top + 'px';
  }
  window.addEventListener('resize', fit);
  window.addEventListener('orientationchange', fit);
  if (coarse.addEventListener) coarse.addEventListener('change', fit);
  fit();

  // The engine's tool bar: its buttons greyed as the engine says; hidden
  // (its place kept, so the picture does not jump) in the exclusive full screen.
  const toolState = { panel: true, buttons: [true, true, true, true, true] };
  function showToolState() {
    for (const b of toolbar.querySelectorAll('button'))
      b.disabled = !(toolState.panel && toolState.buttons[Number(b.dataset.button)]);
  }
  for (const b of toolbar.querySelectorAll('button')) {
    b.addEventListener('click', () => {
      b.blur();  // keys go on to the game
      if (running) send(`toolbar SpeedButton${b.dataset.button}`);
    });
  }

  function toPicture(e) {
    const r = canvas.getBoundingClientRect();
    return [Math.floor((e.clientX - r.left) * 800 / r.width), Math.floor((e.clientY - r.top) * 600 / r.height)];
  }

  // ---- Touch. Gestures become the mouse's and keys' event lines through
  // one table, so the engine's own handlers give them their meaning. A
  // finger shows the hover face where it lands (the move before the press).
  const touchLines = {
    land: (t) => [`move ${t.x} ${t.y}`],
    tap: (t) => [`down ${t.x} ${t.y} left`, `up ${t.x} ${t.y} left`],
    longPress: (t) => [`down ${t.x} ${t.y} right`, `up ${t.x} ${t.y} right`],
    twoFingerTap: () => ['key w'],
    swipeUpFromWindow: () => ['key Backspace'],
    backlogOlder: () => ['wheel 120'],
    backlogNewer: () => ['wheel -120'],
    skipHold: (t) => [`keydown ${t.skipKey}`],
    skipRelease: (t) => [`keyup ${t.skipKey}`],
    dragStart: (t) => [`down ${t.x} ${t.y} left`],
    dragMove: (t) => [`move ${t.x} ${t.y}`],
    dragEnd: (t) => [`up ${t.x} ${t.y} left`],
  };
  const LONG_PRESS_MS = 500, SLOP = 10, SWIPE = 40, SCROLL_STEP = 32, TWO_FINGER_MS = 500;  // CSS px, ms
  const AT_WINDOW = 1, AT_SKIP = 2, AT_BACKLOG = 4, SKIP_IS_SHIFT = 8;  // velmora_touch_at's bits
  let touch = null;   // the one finger being read
  let pair = null;    // a two-finger tap in the making
  function touchGesture(name, t) { for (const line of touchLines[name](t)) touchPut(line); }
  // Touches are the player's own even on the test page, where the real
  // pointer is kept out: a test drives them on purpose.
  function touchPut(line) { if (running) queue.push(line); }
  function touchPoint(t, from) {
    const [x, y] = toPicture(t);
    return Object.assign(from || {}, { x: Math.max(0, Math.min(799, x)), y: Math.max(0, Math.min(599, y)),
      cx: t.clientX, cy: t.clientY });
  }
  function touchHeld() {
    if (!touch || touch.mode !== 'pending') return;
    if (touch.at & AT_SKIP) {
      touch.mode = 'skip';
      touchGesture('skipHold', touch);
    } else {
      touch.mode = 'done';
      touchGesture('longPress', touch);
    }
    if (navigator.vibrate) navigator.vibrate(15);
  }
  function touchEnd(e, cancelled) {
    e.preventDefault();
    if (pair) {
      if (e.touches.length === 0) {
        if (!cancelled && !pair.moved && performance.now() - pair.start <= TWO_FINGER_MS) touchGesture('twoFingerTap', {});
        pair = null;
      }
      return;
    }
    if (!touch) return;
    const t = Array.from(e.changedTouches).find((c) => c.identifier === touch.id);
    if (!t) return;
    clearTimeout(touch.timer);
    const end = touchPoint(t, {});
    switch (touch.mode) {
      case 'pending': if (!cancelled) touchGesture('tap', touch); break;
      case 'drag': touchGesture('dragEnd', end); break;
      case 'swipe': if (!cancelled && touch.cy - end.cy >= SWIPE) touchGesture('swipeUpFromWindow', touch); break;
      case 'skip': touchGesture('skipRelease', touch); break;
      default: break;
    }
    touch = null;
  }
  canvas.addEventListener('touchstart', (e) => {
    e.preventDefault();
    if (!running) return;
    if (e.touches.length >= 2) {
      // A second finger: not one finger's gesture any more.
      if (touch) {
        clearTimeout(touch.timer);
        if (touch.mode === 'drag') touchGesture('dragEnd', touch);
        if (touch.mode === 'skip') touchGesture('skipRelease', touch);
        touch = null;
      }
      if (!pair) pair = { start: performance.now(), moved: e.touches.length > 2 };
      else pair.moved = true;
      return;
    }
    const t = e.changedTouches[0];
    touch = touchPoint(t, { id: t.identifier, mode: 'pending' });
    touch.at = Module._velmora_touch_at ? Module._velmora_touch_at(touch.x, touch.y) : 0;
    touch.skipKey = touch.at & SKIP_IS_SHIFT ? 'Shift' : 'Ctrl';
    touch.scrolled = touch.cy;
    touchGesture('land', touch);
    touch.timer = setTimeout(touchHeld, LONG_PRESS_MS);
  }, { passive: false });
  canvas.addEventListener('touchmove', (e) => {
    e.preventDefault();
    if (pair) {
      pair.moved = true;
      return;
    }
    if (!touch) return;
    const t = Array.from(e.changedTouches).find((c) => c.identifier === touch.id);
    if (!t) return;
    const now = touchPoint(t, {});
    const dx = now.cx - touch.cx, dy = now.cy - touch.cy;
    if (touch.mode === 'pending') {
      if (Math.hypot(dx, dy) < SLOP) return;
      clearTimeout(touch.timer);
      if (touch.at & AT_BACKLOG) touch.mode = 'scroll';
      else if ((touch.at & AT_WINDOW) && -dy > Math.abs(dx)) touch.mode = 'swipe';
      else {
        touch.mode = 'drag';
        touchGesture('dragStart', touch);
      }
    }
    if (touch.mode === 'drag') touchGesture('dragMove', now);
    if (touch.mode === 'scroll') {
      // A finger moving down pulls the older lines into view, as the wheel turned away does.
      for (; now.cy - touch.scrolled >= SCROLL_STEP; touch.scrolled += SCROLL_STEP) touchGesture('backlogOlder', now);
      for (; touch.scrolled - now.cy >= SCROLL_STEP; touch.scrolled -= SCROLL_STEP) touchGesture('backlogNewer', now);
    }
  }, { passive: false });
  canvas.addEventListener('touchend', (e) => touchEnd(e, false), { passive: false });
  canvas.addEventListener('touchcancel', (e) => touchEnd(e, true), { passive: false });

  // The first tap of a touch screen takes the page full screen, where the
  // browser allows it; a refusal changes nothing.
  let fullScreenAsked = false;
  window.addEventListener('pointerup', (e) => {
    if (fullScreenAsked || e.pointerType !== 'touch') return;
    fullScreenAsked = true;
    const root = document.documentElement;
    const go = root.requestFullscreen || root.webkitRequestFullscreen;
    if (!go || document.fullscreenElement) return;
    try {
      const p = go.call(root, { navigationUI: 'hide' });
      if (p && p.catch) p.catch(() => {});
    } catch (err) { /* refused: the page stays as it is */ }
  }, true);

  // ---- Input from the player, as the runner's event lines.
  function put(line) { if (running && !testMode) queue.push(line); }
  const buttons = ['left', 'middle', 'right'];
  canvas.addEventListener('mousemove', (e) => { const [x, y] = toPicture(e); put(`move ${x} ${y}`); });
  canvas.addEventListener('mousedown', (e) => {
    const [x, y] = toPicture(e); put(`down ${x} ${y} ${buttons[e.button] || 'left'}`); e.preventDefault();
  });
  canvas.addEventListener('mouseup', (e) => { const [x, y] = toPicture(e); put(`up ${x} ${y} ${buttons[e.button] || 'left'}`); });
  canvas.addEventListener('contextmenu', (e) => e.preventDefault());
  canvas.addEventListener('wheel', (e) => {
    if (e.deltaY) put(`wheel ${e.deltaY < 0 ? 120 : -120}`); e.preventDefault();
  }, { passive: false });
  const keyNames = { Enter: 'Enter', Escape: 'Escape', ' ': 'Space', Backspace: 'Backspace', Tab: 'Tab',
    ArrowLeft: 'Left', ArrowRight: 'Right', ArrowUp: 'Up', ArrowDown: 'Down', Control: 'Ctrl', Shift: 'Shift' };
  function keyName(e) { return keyNames[e.key] || (e.key.length === 1 ? e.key : null); }
  function onKey(e, verb) {
    if (!formLayer.hidden && e.target !== document.body) return;  // typing in a form
    const k = keyName(e);
    if (!k || (e.repeat && verb === 'keyup')) return;
    put(`${verb} ${k}`);
    e.preventDefault();
  }
  window.addEventListener('keydown', (e) => onKey(e, 'keydown'));
  window.addEventListener('keyup', (e) => onKey(e, 'keyup'));

  // ---- Game controllers. The Gamepad API has no button events: the pads are
  // read once a frame and each change is sent as the runner's pad line, by
  // the button's own name, so the engine applies the player's mapping from
  // the settings exactly as the desktop does. Only the standard layout has
  // known button places.
  const padButtons = { 0: 'A', 1: 'B', 2: 'X', 3: 'Y', 4: 'LB', 5: 'RB', 8: 'Back', 9: 'Start',
    12: 'Up', 13: 'Down', 14: 'Left', 15: 'Right' };
  const padHeld = new Set();     // button names down, as last sent
  let padStick = '0 0';
  let padPolling = false;
  let padWarned = false;
  function padSend(line) {
    put(line);
    canvas.style.cursor = 'none';  // the pointer hides while the pad plays
  }
  function padReleaseAll() {
    for (const name of padHeld) put(`padup ${name}`);
    padHeld.clear();
    if (padStick !== '0 0') put('stick 0 0');
    padStick = '0 0';
  }
  function padPoll() {
    const pads = navigator.getGamepads ? Array.from(navigator.getGamepads()).filter((p) => p && p.connected) : [];
    const pad = pads.find((p) => p.mapping === 'standard');
    if (!pad) {
      if (pads.length && !padWarned) { console.warn('velmora: this controller has no standard layout'); padWarned = true; }
      if (!pads.length) { padReleaseAll(); padPolling = false; return; }
    } else if (document.hidden) {
      padReleaseAll();  // a button held while the tab is away must not stay down
    } else {
      for (const [index, name] of Object.entries(padButtons)) {
        const b = pad.buttons[index];
        const down = !!b && (b.pressed || b.value > 0.5);
        if (down !== padHeld.has(name)) {
          if (down) padHeld.add(name); else padHeld.delete(name);
          padSend(`${down ? 'paddown' : 'padup'} ${name}`);
        }
      }
      // The engine keeps its own dead zone; send the stick only when the
      // direction it gives changes, not every frame.
      const axis = (v) => (Math.abs(v) < 0.5 ? 0 : Math.round(Math.max(-1, Math.min(1, v)) * 32767));
      const stick = `${axis(pad.axes[0] || 0)} ${axis(pad.axes[1] || 0)}`;
      if (stick !== padStick) { padStick = stick; padSend(`stick ${stick}`); }
    }
    requestAnimationFrame(padPoll);
  }
  function padStart() {
    if (padPolling || testMode) return;  // the test page sends pad lines itself
    padPolling = true;
    requestAnimationFrame(padPoll);
  }
  window.addEventListener('gamepadconnected', padStart);
  window.addEventListener('gamepaddisconnected', () => { if (!padPolling) padReleaseAll(); });
  canvas.addEventListener('mousemove', () => { canvas.style.cursor = ''; });

  // ---- Forms and menus from the engine's models.
  function el(tag, cls, text) {
    const n = document.createElement(tag);
    if (cls) n.className = cls;
    if (text !== undefined) n.textContent = text;
    return n;
  }
  function plain(caption) { return caption.replace(/\(&?.\)|&/g, ''); }
  // A label keeps its text as the desktop shows it ("(C)" too): "&" marks an
  // accelerator and is not drawn, "&&" is one "&".
  function labelText(caption) { return caption.replace(/&(&?)/g, '$1'); }
  function send(line) { queue.push(line); }
  function showMenu(m) {
    formLayer.replaceChildren();
    const box = el('div', 'vm-menu');
    const r = canvas.getBoundingClientRect();
    box.style.left = (r.left + m.x * r.width / 800) + 'px';
    box.style.top = (r.top + m.y * r.height / 600) + 'px';
    let n = 0;
    for (const it of m.items) {
      if (it.separator) { box.appendChild(el('hr')); continue; }
      const index = ++n;
      const row = el('div', it.enabled ? '' : 'off', (it.checked ? '✓ ' : '') + plain(it.caption));
      row.setAttribute('role', 'menuitem');
      if (it.enabled) row.addEventListener('click', (e) => { e.stopPropagation(); send(`menu #${index}`); });
      box.appendChild(row);
    }
    formLayer.onmousedown = (e) => { if (e.target === formLayer) send('menu cancel'); };
    formLayer.appendChild(box);
    formLayer.hidden = false;
    // Kept on the screen: a press near an edge opens it inside, not beyond,
    // and a menu taller than the screen scrolls.
    box.style.maxHeight = window.innerHeight + 'px';
    const b = box.getBoundingClientRect();
    box.style.left = Math.max(0, Math.min(b.left, window.innerWidth - b.width)) + 'px';
    box.style.top = Math.max(0, Math.min(b.top, window.innerHeight - b.height)) + 'px';
  }
  // What the open dialog's text and number fields hold that the engine has not been told yet.
  let fieldFlushes = [];
  function flushFields() { for (const flush of fieldFlushes) flush(); }
  // A model that changes while the player presses on the form (a field
  // sends its text as it loses the focus to the button pressed) is shown
  // once the press is over: the new elements would take the release and
  // the click would be lost.
  let pressing = false, heldForm = null;
  formLayer.addEventListener('pointerdown', () => { pressing = true; }, true);
  const released = () => {
    if (!pressing) return;
    // After the click the release makes.
    setTimeout(() => {
      pressing = false;
      if (heldForm) { heldForm = null; showShownForm(); }
    }, 0);
  };
  window.addEventListener('pointerup', released, true);
  window.addEventListener('pointercancel', released, true);
  window.addEventListener('blur', released);
  function showDialog(f) {
    if (pressing) { heldForm = f; return; }
    heldForm = null;
    formLayer.onmousedown = null;
    const focused = document.activeElement && document.activeElement.dataset.control;
    fieldFlushes = [];
    // The model is drawn afresh after every change: the lists keep where they were scrolled to.
    const scrolled = {};
    if (lastForm === f.name)
      for (const l of formLayer.querySelectorAll('.vm-list')) scrolled[l.dataset.control] = l.scrollTop;
    lastForm = f.name;
    formLayer.replaceChildren();
    const box = el('div', 'vm-form');
    box.setAttribute('role', 'dialog');
    box.style.fontSize = f.fontPixels + 'px';
    const client = el('div', 'vm-client');
    client.style.width = f.width + 'px';
    client.style.height = f.height + 'px';
    box.append(el('div', 'vm-caption', f.caption), client);
    if (f.pages.length) {
      const tabs = el('div', 'vm-tabs');
      tabs.style.left = f.pagesLeft + 'px';
      tabs.style.top = f.pagesTop + 'px';
      f.pages.forEach((p, i) => {
        const b = el('button', i === f.page ? 'on' : '', p);
        b.addEventListener('click', () => { flushFields(); send(`dialog tab ${p}`); });
        tabs.appendChild(b);
      });
      client.appendChild(tabs);
    }
    const tabHeight = f.pages.length ? 24 : 0;
    for (const c of f.controls) {
      if (!c.visible || (c.page >= 0 && c.page !== f.page)) continue;
      let n;
      switch (c.kind) {
        case 'button':
          n = el('button', '', plain(c.caption));
          n.addEventListener('click', () => { flushFields(); send(`dialog press ${c.name}`); });
          break;
        case 'edit': {
          n = el('input');
          n.value = c.text;
          if (c.maxChars > 0) n.maxLength = c.maxChars;
          // The browser's own input method composes; the text goes when it is
          // done: when the box loses focus, on Enter, or before a button acts
          // (a click on a button does not take the focus in every browser).
          const box3 = n;
          let sent = c.text;
          const flush = () => { if (box3.value !== sent) { sent = box3.value; send(`dialog type ${sent}`); } };
          fieldFlushes.push(flush);
          n.addEventListener('change', flush);
          n.addEventListener('keydown', (e) => {
            if (e.key === 'Enter' && !e.isComposing) { flush(); send('dialog key Enter'); }
          });
          break;
        }
        case 'check': {
          n = el('label');
          const box2 = el('input');
          box2.type = 'checkbox';
          box2.checked = c.value !== 0;
          box2.disabled = !c.enabled;
          box2.addEventListener('change', () => send(`dialog set ${c.name} ${box2.checked ? 1 : 0}`));
          n.append(box2, plain(c.caption));
          break;
        }
        case 'radio':
          n = el('fieldset');
          n.appendChild(el('legend', '', plain(c.caption)));
          c.choices.forEach((ch, i) => {
            const l = el('label');
            const r = el('input');
            r.type = 'radio';
            r.name = c.name;
            r.checked = c.value === i;
            r.disabled = !c.enabled;
            r.addEventListener('change', () => send(`dialog set ${c.name} ${i}`));
            l.append(r, plain(ch));
            n.append(l, el('br'));
          });
          break;
        case 'slider': case 'spin': {
          n = el('input');
          n.type = c.kind === 'slider' ? 'range' : 'number';
          n.min = c.minimum; n.max = c.maximum; n.value = c.value;
          const field = n;
          let sent = String(c.value);
          const flush = () => {
            if (field.value !== sent && field.value !== '') { sent = field.value; send(`dialog set ${c.name} ${sent}`); }
          };
          fieldFlushes.push(flush);
          n.addEventListener('change', flush);
          break;
        }
        case 'combo':
          n = el('select');
          c.choices.forEach((ch, i) => { const o = el('option', '', ch); o.value = i; n.appendChild(o); });
          n.value = c.value;
          n.addEventListener('change', () => send(`dialog set ${c.name} ${n.value}`));
          break;
        case 'list': {
          n = el('div', 'vm-list');
          const t = el('table');
          const head = el('tr');
          c.columns.forEach((col, i) => {
            const th = el('th', '', col.caption);
            th.style.width = col.width + 'px';
            th.addEventListener('click', () => send(`dialog sort ${i + 1}`));
            head.appendChild(th);
          });
          t.appendChild(head);
          c.rows.forEach((cells, r) => {
            const tr = el('tr', r === c.selected ? 'sel' : '');
            for (const cell of cells) tr.appendChild(el('td', '', cell));
            tr.addEventListener('click', () => send(`dialog select ${r + 1}`));
            tr.addEventListener('dblclick', () => { flushFields(); send(`dialog select ${r + 1}`); send('dialog key Enter'); });
            t.appendChild(tr);
          });
          n.appendChild(t);
          break;
        }
        case 'group':
          n = el('fieldset');
          n.appendChild(el('legend', '', plain(c.caption)));
          n.style.pointerEvents = 'none';
          break;
        default:
          n = el('span', '', c.kind === 'label' ? labelText(c.caption || c.text) : plain(c.caption || c.text));
      }
      n.classList.add('vm-c');
      n.dataset.control = c.name;
      if (!c.enabled) n.disabled = true;
      if (c.hint) n.title = c.hint;
      const onPage = c.page >= 0;
      n.style.left = (c.left + (onPage ? f.pagesLeft : 0)) + 'px';
      n.style.top = (c.top + (onPage ? f.pagesTop + tabHeight : 0)) + 'px';
      n.style.width = c.width + 'px';
      n.style.height = c.height + 'px';
      client.appendChild(n);
    }
    if (f.name === 'TForm11') box.appendChild(savesRow(f.width));
    formLayer.appendChild(box);
    formLayer.hidden = false;
    // Centred over the picture and kept whole on the screen: a dialog
    // larger than a small screen is shown smaller.
    const r = canvas.getBoundingClientRect();
    const vw = window.innerWidth, vh = window.innerHeight, bw = box.offsetWidth, bh = box.offsetHeight;
    const scale = Math.min(1, (vw - 4) / bw, (vh - 4) / bh);
    box.style.transform = scale < 1 ? `scale(${scale})` : '';
    const w = bw * scale, h = bh * scale;
    box.style.left = Math.max(0, Math.min(r.left + (r.width - w) / 2, vw - w)) + 'px';
    box.style.top = Math.max(0, Math.min(r.top + (r.height - h) / 2, vh - h)) + 'px';
    for (const l of client.querySelectorAll('.vm-list'))
      if (scrolled[l.dataset.control] !== undefined) l.scrollTop = scrolled[l.dataset.control];
    const again = focused && client.querySelector(`[data-control="${focused}"]`);
    if (again) again.focus();
  }
  let lastForm = null;
  // What is shown, to lay it out again when the screen turns.
  let shownForm = null;
  function showShownForm() {
    if (!shownForm) return;
    if (shownForm.model.kind === 'menu') showMenu(shownForm.model);
    else showDialog(shownForm.model);
    for (const p of shownForm.pictures) showRowPicture(...p);
  }
  window.addEventListener('resize', showShownForm);
  // The selected row's picture, in a row of its own beneath it, scrolled into the list's view.
  function showRowPicture(control, rgba, w, h) {
    const list = formLayer.querySelector(`.vm-list[data-control="${control}"]`);
    const row = list && list.querySelector('tr.sel');
    if (!row) return;
    const tr = el('tr', 'vm-thumb');
    const td = el('td');
    td.colSpan = row.children.length;
    const c = el('canvas');
    c.width = w;
    c.height = h;
    c.getContext('2d').putImageData(new ImageData(new Uint8ClampedArray(rgba.buffer, rgba.byteOffset, w * h * 4), w, h), 0, 0);
    td.appendChild(c);
    tr.appendChild(td);
    row.after(tr);
    const head = list.querySelector('tr');
    const top = row.offsetTop - (head ? head.offsetHeight : 0), bottom = tr.offsetTop + tr.offsetHeight;
    if (top < list.scrollTop) list.scrollTop = top;
    else if (bottom > list.scrollTop + list.clientHeight) list.scrollTop = Math.min(top, bottom - list.clientHeight);
  }

  // ---- Saves that travel: the settings dialog's export and import. The
  // page moves the bytes in and out of /tmp; the engine checks and writes,
  // at its own pump (the runner's `export` and `import` commands), and
  // answers through savesTransferred.
  let savesMessage = '';
  const exportPath = '/tmp/velmora-saves.zip', importRoot = '/tmp/velmora-import';
  function removeTree(p) {
    let st;
    try { st = FS.lstat(p); } catch (e) { return; }
    if (FS.isDir(st.mode)) {
      for (const n of FS.readdir(p)) if (n !== '.' && n !== '..') removeTree(`${p}/${n}`);
      FS.rmdir(p);
    } else {
      FS.unlink(p);
    }
  }
  function exportSaves() { send(`export ${exportPath}`); }
  function downloadExport() {
    const url = URL.createObjectURL(new Blob([FS.readFile(exportPath)], { type: 'application/zip' }));
    FS.unlink(exportPath);
    const a = el('a');
    a.href = url;
    a.download = 'velmora-saves.zip';
    document.body.appendChild(a);
    a.click();
    a.remove();
    setTimeout(() => URL.revokeObjectURL(url), 60000);
  }
  // A ZIP, or the files of a game's folder (or of its save folder, or picked
  // one by one): only the save files are read, never the game's archives.
  async function importSaves(files) {
    files = Array.from(files || []);
    if (!files.length) return;
    removeTree(importRoot);
    removeTree(`${importRoot}.zip`);
    let path = importRoot;
    if (files.length === 1 && /\.zip$/i.test(files[0].name)) {
      path = `${importRoot}.zip`;
      FS.writeFile(path, new Uint8Array(await files[0].arrayBuffer()));
    } else {
      FS.mkdir(importRoot);
      FS.mkdir(`${importRoot}/save`);
      for (const f of files) {
        const parts = f.webkitRelativePath ? f.webkitRelativePath.split('/').slice(1) : [f.name];
        const name = parts[parts.length - 1].toLowerCase();
        const slot = /^save\d\d\.dat$/.test(name);
        let target = null;
        if (parts.length === 1 && slot) target = `${importRoot}/save/${name}`;
        else if (parts.length === 1 && ['save0.dat', 'kaiso.dat', 'settings.ini'].includes(name)) target = `${importRoot}/${name}`;
        else if (parts.length === 2 && parts[0].toLowerCase() === 'save' && slot) target = `${importRoot}/save/${name}`;
        if (target) FS.writeFile(target, new Uint8Array(await f.arrayBuffer()));
      }
    }
    send(`import ${path}`);
  }
  function savesTransferred(exporting, ok, message) {
    savesMessage = message;
    if (exporting && ok) downloadExport();
    if (!exporting) {
      removeTree(importRoot);
      removeTree(`${importRoot}.zip`);
      // IndexedDB gets the new files at once: a tab closed now loses nothing.
      if (ok) sync();
    }
    showSavesMessage();
  }
  function showSavesMessage() {
    const status = document.getElementById('saves-status');
    if (status) status.textContent = savesMessage;
  }
  function savesRow(width) {
    const row = el('div', 'vm-saves');
    row.style.width = width + 'px';
    const button = (id, caption, action) => {
      const b = el('button', '', caption);
      b.id = id;
      b.addEventListener('click', action);
      return b;
    };
    const picker = (id, folder) => {
      const i = el('input');
      i.type = 'file';
      i.id = id;
      i.tabIndex = -1;
      if (folder) i.webkitdirectory = true;
      else { i.multiple = true; i.accept = '.zip,.dat,.ini'; }
      i.addEventListener('change', () => importSaves(i.files).catch((e) => {
        savesMessage = `セーブデータを読み込めません：${e.message || e}`;
        showSavesMessage();
      }).finally(() => { i.value = ''; }));
      return i;
    };
    const file = picker('saves-import-file', false), folder = picker('saves-import-folder', true);
    const status = el('span', 'vm-saves-status', savesMessage);
    status.id = 'saves-status';
    status.setAttribute('role', 'status');
    row.append(button('saves-export', 'セーブデータを書き出す', exportSaves),
      button('saves-import', 'セーブデータを読み込む', () => file.click()),
      button('saves-import-dir', 'フォルダから読み込む', () => folder.click()), file, folder, status);
    return row;
  }

  // ---- What the engine calls (see web_platform.cpp).
  const spoken = document.getElementById('spoken');
  window.velmoraPage = {
    takeEvents() {
      if (!queue.length) return null;
      const text = queue.join('\n');
      queue = [];
      return text;
    },
    eventsRefused(why) {
      const w = waiting; waiting = [];
      for (const p of w) p.reject(new Error(why));
    },
    idle() {
      readyResolve();
      const w = waiting; waiting = [];
      for (const p of w) p.resolve();
    },
    firstPass() { readyResolve(); },
    present(rgba, w, h) {
      ctx.putImageData(new ImageData(new Uint8ClampedArray(rgba.buffer, rgba.byteOffset, w * h * 4), w, h), 0, 0);
    },
    showForm(m) {
      shownForm = { model: m, pictures: [] };
      if (m.kind === 'menu') { heldForm = null; showMenu(m); } else showDialog(m);
    },
    hideForm() {
      heldForm = null; formLayer.replaceChildren(); formLayer.hidden = true; lastForm = null; shownForm = null;
    },
    rowPicture(control, rgba, w, h) {
      if (shownForm) shownForm.pictures.push([control, rgba, w, h]);
      showRowPicture(control, rgba, w, h);
    },
    toolBar(button, enabled, shown) {
      if (button === 0) toolState.panel = enabled;
      else if (button > 0 && button < toolState.buttons.length) toolState.buttons[button] = enabled;
      toolbar.classList.toggle('away', !shown);
      showToolState();
    },
    messageBox(text, caption, buttons) {
      const t = caption ? `${caption}\n\n${text}` : text;
      if (buttons === 0) { window.alert(t); return 1; }
      return window.confirm(t) ? 1 : 0;
    },
    setTitle(t) { document.title = t || 'Velmora'; },
    ended() { running = false; noticeText.textContent = '終了しました'; notice.hidden = false; },
    copy(text) { if (navigator.clipboard) navigator.clipboard.writeText(text).catch(() => {}); },
    speak(text, rate, volume) {
      spoken.textContent = text;
      if (!window.speechSynthesis) return;
      const u = new SpeechSynthesisUtterance(text);
      u.lang = 'ja-JP';
      u.rate = Math.pow(2, rate / 100);
      u.volume = Math.max(0, Math.min(1, (volume + 100) / 200));
      speechSynthesis.speak(u);
    },
    hush() { if (window.speechSynthesis) speechSynthesis.cancel(); },
    savesTransferred,
  };

  // ---- The game, the fonts and the persistent folder.
  async function fetchList(base) {
    const r = await fetch(`${base}/manifest.txt`);
    if (!r.ok) throw new Error(`${base}/manifest.txt: ${r.status}`);
    return (await r.text()).split('\n').map((s) => s.trim()).filter((s) => s && !s.startsWith('#'));
  }
  function writeFile(path, bytes) {
    const parts = path.split('/');
    for (let i = 2; i < parts.length; ++i) {
      const dir = parts.slice(0, i).join('/');
      if (!FS.analyzePath(dir).exists) FS.mkdir(dir);
    }
    FS.writeFile(path, bytes);
  }
  async function loadFiles() {
    FS.mkdir('/game');
    if (localFiles) {
      for (const [name, file] of localFiles) writeFile(`/game/${name}`, new Uint8Array(await file.arrayBuffer()));
    } else {
      const names = await fetchList(gamePath);
      await Promise.all(names.map(async (name) => {
        const r = await fetch(`${gamePath}/${name}`);
        if (!r.ok) throw new Error(`${gamePath}/${name}: ${r.status}`);
        writeFile(`/game/${name}`, new Uint8Array(await r.arrayBuffer()));
      }));
    }
    // The game folder is read-only: saves go to the persistent folder, under the game's id.
    FS.chmod('/game', 0o555);
    FS.mkdir('/fonts');
    for (const name of await fetchList('fonts')) {
      const r = await fetch(`fonts/${name}`);
      if (r.ok) FS.writeFile(`/fonts/${name}`, new Uint8Array(await r.arrayBuffer()));
    }
  }
  // Every file written under /persist reaches IndexedDB at once, so a closed
  // tab loses nothing; one sync at a time, another after it when needed.
  let syncing = false, syncAgain = false;
  function sync() {
    if (testMode && params.get('persist') !== '1') return;
    if (syncing) { syncAgain = true; return; }
    syncing = true;
    FS.syncfs(false, () => {
      syncing = false;
      if (syncAgain) { syncAgain = false; sync(); }
    });
  }
  window.velmoraSyncing = () => syncing || syncAgain;
  function watchWrites() {
    const under = (p) => typeof p === 'string' && p.startsWith('/persist');
    const rename = FS.rename, unlink = FS.unlink, close = FS.close;
    FS.rename = function (a, b) { const r = rename.apply(this, arguments); if (under(b)) sync(); return r; };
    FS.unlink = function (p) { const r = unlink.apply(this, arguments); if (under(p)) sync(); return r; };
    FS.close = function (s) {
      const r = close.apply(this, arguments);
      if (s && s.path && under(s.path) && (s.flags & 3)) sync();
      return r;
    };
  }
  function mountPersist() {
    FS.mkdir('/persist');
    // The test page keeps its saves in memory unless it asks (?persist=1) for the real thing.
    const persist = !testMode || params.get('persist') === '1';
    FS.mount(persist ? IDBFS : MEMFS, {}, '/persist');
    return new Promise((resolve) => (persist ? FS.syncfs(true, () => resolve()) : resolve()));
  }

  async function start() {
    try {
      await mountPersist();
      watchWrites();
      if (!testMode) {
        // Browsers allow sound only after a gesture: the game starts on the
        // first click or key, or once the player has picked a game folder.
        noticeText.textContent = 'クリックで開始';
        notice.hidden = false;
        await new Promise((resolve) => {
          const once = (e) => {
            if (e.target && e.target.closest && e.target.closest('#open-folder')) return;
            resolve();
          };
          notice.addEventListener('click', once);
          window.addEventListener('keydown', once, { once: true });
          folderInput.addEventListener('change', () => {
            const files = Array.from(folderInput.files);
            if (!files.length) return;
            // The paths inside the picked folder, without the folder's own name.
            localFiles = files.map((f) => [f.webkitRelativePath.split('/').slice(1).join('/'), f]).filter(([p]) => p);
            resolve();
          });
        });
        noticeText.textContent = '読み込み中…';
      }
      await loadFiles();
    } catch (err) {
      noticeText.textContent = `ゲームを読み込めません: ${err.message}`;
      notice.hidden = false;
      return;
    }
    notice.hidden = true;
    running = true;
    const args = testMode ? ['--test'] : [];
    if (!testMode || params.get('persist') === '1') args.push('--settings', '/persist/settings.ini');
    if (params.get('verbose') === '1') args.push('--verbose');
    Module.callMain(args);
  }

  const folderInput = document.getElementById('folder-input');
  document.getElementById('open-folder').addEventListener('click', (e) => {
    e.stopPropagation();
    folderInput.click();
  });

  if (testMode) {
    window.velmora = {
      ready,
      events(text) {
        return new Promise((resolve, reject) => { waiting.push({ resolve, reject }); queue.push(String(text)); });
      },
      screenshot() {
        const path = '/tmp/velmora-screenshot.png';
        if (!Module._velmora_screenshot(writePath(path))) throw new Error('no picture yet');
        const bytes = FS.readFile(path);
        let s = '';
        for (let i = 0; i < bytes.length; i += 0x8000) s += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
        return 'data:image/png;base64,' + btoa(s);
      },
      shownText() { return Module.UTF8ToString(Module._velmora_shown_text()); },
    };
  }
  function writePath(path) {
    const n = Module.lengthBytesUTF8(path) + 1;
    if (!writePath.p) writePath.p = Module._malloc(256);
    Module.stringToUTF8(path, writePath.p, Math.min(n, 256));
    return writePath.p;
  }

  // The site keeps itself for play without a network (service-worker.js,
  // written when a game is published); a site without one plays online.
  if ('serviceWorker' in navigator && location.protocol.startsWith('http'))
    navigator.serviceWorker.register('service-worker.js').catch(() => {});

  window.Module = {
    canvas,
    print: (t) => console.log(t),
    printErr: (t) => console.warn(t),
    onRuntimeInitialized: start,
    // The game closing its window ends the program where it stands.
    onAbort: () => window.velmoraPage.ended(),
  };
  const script = document.createElement('script');
  script.src = 'velmora.js';
  document.body.appendChild(script);
})();
