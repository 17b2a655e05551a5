"""A small WebDriver BiDi client for Firefox, enough for the browser tests:
start a headless Firefox on a profile of its own, open a session over its
WebSocket, navigate, reload, run scripts, click and type through real input
actions, and answer the page's alert and confirm boxes.

Firefox speaks BiDi itself (no geckodriver): started with
--remote-debugging-port it listens on ws://127.0.0.1:PORT/session.
"""
import json
import os
import socket
import subprocess
import time

import websocket


# How long a click holds the button down, about as long as a player's does:
# what the page does between the press and the release has time to happen.
HOLD_MS = 80


class BiDiError(Exception):
    pass


class ScriptError(BiDiError):
    """A script the test ran threw, or its promise was rejected."""


class Element:
    """A DOM node the page handed back, usable as an input action's origin."""

    def __init__(self, shared_id):
        self.shared_id = shared_id

    def local(self):
        return {'sharedId': self.shared_id}


# What the profile starts with: no first-run pages, no update or report
# traffic. Firefox adds its own automation settings once BiDi is in use.
PROFILE_PREFS = {
    'browser.shell.checkDefaultBrowser': False,
    'browser.startup.page': 0,
    'browser.startup.homepage_override.mstone': 'ignore',
    'browser.aboutwelcome.enabled': False,
    'browser.tabs.warnOnClose': False,
    'datareporting.policy.dataSubmissionEnabled': False,
    'datareporting.healthreport.uploadEnabled': False,
    'toolkit.telemetry.reportingpolicy.firstRun': False,
    'app.update.disabledForTesting': True,
    'network.captive-portal-service.enabled': False,
    'network.connectivity-service.enabled': False,
    'extensions.getAddons.cache.enabled': False,
    'browser.safebrowsing.malware.enabled': False,
    'browser.safebrowsing.phishing.enabled': False,
    # Machines that run tests often have no sound device, where an
    # AudioContext would never leave "suspended": Firefox's own stand-in
    # output lets the audio graph run on its clock.
    'media.cubeb.force_mock_context': True,
}


def _local_value(v):
    """A Python value as a BiDi LocalValue (script arguments)."""
    if v is None:
        return {'type': 'null'}
    if isinstance(v, bool):
        return {'type': 'boolean', 'value': v}
    if isinstance(v, (int, float)):
        return {'type': 'number', 'value': v}
    if isinstance(v, str):
        return {'type': 'string', 'value': v}
    if isinstance(v, Element):
        return v.local()
    if isinstance(v, (list, tuple)):
        return {'type': 'array', 'value': [_local_value(x) for x in v]}
    if isinstance(v, dict):
        return {'type': 'object', 'value': [[str(k), _local_value(x)] for k, x in v.items()]}
    raise TypeError(f'cannot pass {type(v).__name__} to a script')


_NUMBERS = {'NaN': float('nan'), 'Infinity': float('inf'), '-Infinity': float('-inf'), '-0': -0.0}


def _python_value(r):
    """A BiDi RemoteValue (script results) as a Python value; nodes become Elements."""
    t = r.get('type')
    if t in ('undefined', 'null'):
        return None
    if t in ('string', 'boolean'):
        return r['value']
    if t == 'number':
        return _NUMBERS.get(r['value'], r['value']) if isinstance(r['value'], str) else r['value']
    if t == 'bigint':
        return int(r['value'])
    if t in ('array', 'set', 'nodelist', 'htmlcollection'):
        return [_python_value(x) for x in r.get('value', [])]
    if t in ('object', 'map'):
        out = {}
        for k, x in r.get('value', []):
            out[k if isinstance(k, str) else json.dumps(_python_value(k))] = _python_value(x)
        return out
    if t == 'node':
        return Element(r['sharedId'])
    return r


def _free_port():
    with socket.socket() as s:
        s.bind(('127.0.0.1', 0))
        return s.getsockname()[1]


class Firefox:
    """A headless Firefox and one BiDi session on it, driving its first tab."""

    def __init__(self, profile, binary='/usr/bin/firefox-esr', width=800, height=600, start_timeout=60):
        os.makedirs(profile, exist_ok=True)
        with open(os.path.join(profile, 'user.js'), 'w') as f:
            for k, v in PROFILE_PREFS.items():
                f.write(f'user_pref({json.dumps(k)}, {json.dumps(v)});\n')
        self.profile = profile
        self.log_path = os.path.join(profile, 'firefox.log')
        self.port = _free_port()
        self._log = open(self.log_path, 'wb')
        self.proc = subprocess.Popen(
            [binary, '--headless', '--no-remote', '--profile', profile, f'--remote-debugging-port={self.port}',
             'about:blank'],
            stdin=subprocess.DEVNULL, stdout=self._log, stderr=subprocess.STDOUT,
            env=dict(os.environ, MOZ_CRASHREPORTER_DISABLE='1'))
        self.events = []     # events received while waiting for something else
        self.log = []        # the page's console lines and uncaught errors
        self._next = 0
        self.ws = None
        deadline = time.monotonic() + start_timeout
        while True:
            try:
                self.ws = websocket.create_connection(f'ws://127.0.0.1:{self.port}/session',
                                                      timeout=10, suppress_origin=True)
                break
            except (OSError, websocket.WebSocketException):
                if self.proc.poll() is not None or time.monotonic() > deadline:
                    self.quit()
                    raise BiDiError(f'Firefox did not start its BiDi server: see {self.log_path}')
                time.sleep(0.2)
        self.command('session.new', {'capabilities': {'alwaysMatch': {
            'acceptInsecureCerts': False, 'unhandledPromptBehavior': {'default': 'ignore'}}}})
        self.command('session.subscribe', {'events': ['browsingContext.userPromptOpened', 'log.entryAdded']})
        self.viewport = {'width': width, 'height': height}
        self.context = self.command('browsingContext.getTree', {})['contexts'][0]['context']
        self.command('browsingContext.setViewport', {'context': self.context, 'viewport': self.viewport})

    # ---- The protocol.
    def _receive(self, timeout):
        self.ws.settimeout(max(0.01, timeout))
        message = json.loads(self.ws.recv())
        if message.get('type') == 'event':
            if message['method'] == 'log.entryAdded':
                p = message['params']
                self.log.append(f"{p.get('level')}: {p.get('text')}")
            else:
                self.events.append(message)
        return message

    def send(self, method, params):
        """Sends a command without waiting for its answer; its id."""
        self._next += 1
        self.ws.send(json.dumps({'id': self._next, 'method': method, 'params': params}))
        return self._next

    def command(self, method, params, timeout=120):
        ident = self.send(method, params)
        deadline = time.monotonic() + timeout
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                raise BiDiError(f'{method}: no answer within {timeout} s')
            try:
                message = self._receive(left)
            except websocket.WebSocketTimeoutException:
                continue
            if message.get('id') != ident:
                continue
            if message.get('type') == 'error':
                raise BiDiError(f"{method}: {message.get('error')}: {message.get('message')}")
            return message['result']

    def wait_event(self, method, timeout=30):
        """The next event of that kind (taken from those already received first)."""
        deadline = time.monotonic() + timeout
        while True:
            for i, e in enumerate(self.events):
                if e['method'] == method:
                    return self.events.pop(i)['params']
            left = deadline - time.monotonic()
            if left <= 0:
                raise BiDiError(f'no {method} within {timeout} s')
            try:
                self._receive(left)
            except websocket.WebSocketTimeoutException:
                pass

    # ---- Pages and scripts.
    def navigate(self, url):
        self.command('browsingContext.navigate', {'context': self.context, 'url': url, 'wait': 'complete'})

    def reload(self):
        self.command('browsingContext.reload', {'context': self.context, 'wait': 'complete'})

    def new_tab(self):
        """Opens a tab and drives it from now on; the old one's context."""
        old = self.context
        self.context = self.command('browsingContext.create', {'type': 'tab'})['context']
        self.command('browsingContext.setViewport', {'context': self.context, 'viewport': self.viewport})
        return old

    def close_tab(self, context):
        self.command('browsingContext.close', {'context': context})

    def call(self, function, *args, timeout=120):
        """Runs a JavaScript function with the arguments in the page; awaits
        a promise it returns and gives back its value."""
        result = self.command('script.callFunction', {
            'functionDeclaration': function,
            'arguments': [_local_value(a) for a in args],
            'target': {'context': self.context},
            'awaitPromise': True,
            'serializationOptions': {'maxObjectDepth': 8},
        }, timeout=timeout)
        if result.get('type') == 'exception':
            d = result['exceptionDetails']
            raise ScriptError(f"{d.get('text')} (line {d.get('lineNumber')})")
        return _python_value(result['result'])

    def run(self, expression, timeout=120):
        """The value of an expression in the page (awaited if a promise)."""
        return self.call(f'async () => ({expression})', timeout=timeout)

    # ---- The player's hands.
    def _actions(self, sources, wait=True):
        # An action whose handler opens an alert or confirm box is answered
        # only once the box is: such a click is sent without waiting.
        params = {'context': self.context, 'actions': sources}
        if wait:
            self.command('input.performActions', params)
        else:
            self.send('input.performActions', params)

    def click_at(self, x, y, button=0, wait=True):
        """A mouse click at a point of the viewport."""
        self._actions([{'type': 'pointer', 'id': 'mouse', 'parameters': {'pointerType': 'mouse'}, 'actions': [
            {'type': 'pointerMove', 'x': int(x), 'y': int(y), 'origin': 'viewport'},
            {'type': 'pointerDown', 'button': button},
            {'type': 'pause', 'duration': HOLD_MS},
            {'type': 'pointerUp', 'button': button}]}], wait)

    def click(self, element, button=0, wait=True):
        """A mouse click in the middle of an element (an Element or a CSS selector)."""
        if isinstance(element, str):
            found = self.call('(s) => document.querySelector(s)', element)
            if not isinstance(found, Element):
                raise BiDiError(f'nothing matches {element}')
            element = found
        # Input actions reach only what is in view, as a player's pointer does.
        self.call('(e) => e.scrollIntoView({block: "nearest", inline: "nearest"})', element)
        self._actions([{'type': 'pointer', 'id': 'mouse', 'parameters': {'pointerType': 'mouse'}, 'actions': [
            {'type': 'pointerMove', 'x': 0, 'y': 0, 'origin': {'type': 'element', 'element': element.local()}},
            {'type': 'pointerDown', 'button': button},
            {'type': 'pause', 'duration': HOLD_MS},
            {'type': 'pointerUp', 'button': button}]}], wait)

    def type_keys(self, text):
        """Key presses for each character of text; '\\n' is Enter, '\\t' Tab."""
        named = {'\n': '\ue007', '\t': '\ue004', '\b': '\ue003'}
        steps = []
        for ch in text:
            key = named.get(ch, ch)
            steps += [{'type': 'keyDown', 'value': key}, {'type': 'keyUp', 'value': key}]
        self._actions([{'type': 'key', 'id': 'keyboard', 'actions': steps}])

    def select_all(self):
        """Ctrl+A in the focused field."""
        self._actions([{'type': 'key', 'id': 'keyboard', 'actions': [
            {'type': 'keyDown', 'value': '\ue009'}, {'type': 'keyDown', 'value': 'a'},
            {'type': 'keyUp', 'value': 'a'}, {'type': 'keyUp', 'value': '\ue009'}]}])

    def answer_prompt(self, accept):
        self.command('browsingContext.handleUserPrompt', {'context': self.context, 'accept': accept})

    def quit(self):
        if self.ws is not None:
            try:
                self.command('browser.close', {}, timeout=10)
            except (BiDiError, OSError, websocket.WebSocketException):
                pass
            try:
                self.ws.close()
            except (OSError, websocket.WebSocketException):
                pass
            self.ws = None
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        self._log.close()
