'''NetworkManager stand-in for the dialler's tests (a python-dbusmock template).

Parameters (JSON):
  connections: list of {id, type (gsm, cdma, pppoe or vpn), number, user, password,
               stored (true: the service holds the right secrets itself), script}
  step_ms:     the pause between two state changes of an activation (default 20)
  refuse_agents: true: every agent registration is refused
  stall_settings: true: GetSettings is never answered (a service that hangs)
  answer_after_ms: ActivateConnection answers only after that long, while the activation
               runs (a question to the user answered late)

Agents register as NetworkManager's agent manager takes them: one identifier per user (a
second registration of an identifier from another connection is refused); the last one
registered is asked. AgentManager.GetAgent (the stand-in's own) gives its bus name.

A script is a list of outcomes, one per activation, the last one repeated: "connect",
"device:<reason>" (the modem fails with that device state reason), "late:<reason>" (the same,
but the activation's end is signalled before the modem's failure), "gone:<reason>" (the
activation ends, then the modem is unavailable for that reason), "instant:<reason>" (the modem
fails, and the activation is gone, before the request is answered) or "active:<reason>" (the
activation ends with that active-connection reason). A connection with a password asks the
registered secret agent for it while it authenticates; wrong secrets are asked for once more
with the request-new flag, and then fail with the reason "no secrets".
'''

import dbus
import dbusmock
from gi.repository import GLib

BUS_NAME = 'org.freedesktop.NetworkManager'
MAIN_OBJ = '/org/freedesktop/NetworkManager'
MAIN_IFACE = 'org.freedesktop.NetworkManager'
SYSTEM_BUS = True

SETTINGS_OBJ = MAIN_OBJ + '/Settings'
SETTINGS_IFACE = MAIN_IFACE + '.Settings'
CONNECTION_IFACE = SETTINGS_IFACE + '.Connection'
ACTIVE_IFACE = MAIN_IFACE + '.Connection.Active'
DEVICE_IFACE = MAIN_IFACE + '.Device'
DEVICE_OBJ = MAIN_OBJ + '/Devices/1'
AGENT_MANAGER_OBJ = MAIN_OBJ + '/AgentManager'
AGENT_MANAGER_IFACE = MAIN_IFACE + '.AgentManager'
AGENT_OBJ = MAIN_OBJ + '/SecretAgent'
AGENT_IFACE = MAIN_IFACE + '.SecretAgent'

DEVICE_UNAVAILABLE, DEVICE_DISCONNECTED, DEVICE_PREPARE, DEVICE_CONFIG = 20, 30, 40, 50
DEVICE_NEED_AUTH = 60
DEVICE_IP_CONFIG, DEVICE_ACTIVATED, DEVICE_DEACTIVATING, DEVICE_FAILED = 70, 100, 110, 120
ACTIVE_ACTIVATING, ACTIVE_ACTIVATED, ACTIVE_DEACTIVATING, ACTIVE_DEACTIVATED = 1, 2, 3, 4
REASON_NO_SECRETS, REASON_USER_REQUESTED = 7, 39
ACTIVE_REASON_USER_DISCONNECTED, ACTIVE_REASON_DEVICE_DISCONNECTED = 2, 3
ASK_ALLOW_INTERACTION, ASK_REQUEST_NEW = 0x1, 0x2

state = {'agent': None, 'agent_ids': {}, 'next_active': 1, 'walks': {}, 'attempts': {}, 'connections': {}}


def error(name, text):
    return dbus.exceptions.DBusException(text, name=MAIN_IFACE + '.' + name)


def manager():
    return dbusmock.get_object(MAIN_OBJ)


def set_list(path, iface, name, values):
    dbusmock.get_object(path).Set(iface, name, dbus.Array(values, signature='o'))


def device_state(new, reason):
    device = dbusmock.get_object(DEVICE_OBJ)
    old = device.Get(DEVICE_IFACE, 'State')
    device.Set(DEVICE_IFACE, 'State', dbus.UInt32(new))
    device.EmitSignal(DEVICE_IFACE, 'StateChanged', 'uuu', [new, old, reason])


def active_state(path, new, reason):
    obj = dbusmock.get_object(path)
    obj.Set(ACTIVE_IFACE, 'State', dbus.UInt32(new))
    obj.EmitSignal(ACTIVE_IFACE, 'StateChanged', 'uu', [new, reason])


def remove_active(mock, path):
    state['walks'].pop(path, None)
    active = [p for p in manager().Get(MAIN_IFACE, 'ActiveConnections') if p != path]
    set_list(MAIN_OBJ, MAIN_IFACE, 'ActiveConnections', active)
    mock.RemoveObject(path)


def settings_of(conn):
    setting = conn['type']
    values = {'username': conn.get('user', '')}
    if conn.get('number'):
        values['number'] = conn['number']
    if setting == 'vpn':
        values = {'service-type': 'org.freedesktop.NetworkManager.openvpn'}
    return dbus.Dictionary({
        'connection': dbus.Dictionary({'id': conn['id'], 'uuid': conn['uuid'],
                                       'type': 'vpn' if setting == 'vpn' else setting},
                                      signature='sv'),
        setting: dbus.Dictionary(values, signature='sv'),
    }, signature='sa{sv}')


def secrets_match(conn, secrets):
    values = secrets.get(conn['type'], {})
    if conn['type'] == 'vpn':
        return values.get('secrets', {}).get('password') == conn['password']
    return (values.get('password') == conn['password'] and
            values.get('username', conn.get('user', '')) == conn.get('user', ''))


def ask_secrets(mock, path, conn, flags, done):
    '''Asks the agent for the connection's secrets; done(True) when they are right.'''
    agent = state['agent']
    if agent is None:
        done(bool(conn.get('stored')))
        return

    def replied(secrets):
        if secrets_match(conn, secrets):
            done(True)
        elif not flags & ASK_REQUEST_NEW:
            ask_secrets(mock, path, conn, ASK_ALLOW_INTERACTION | ASK_REQUEST_NEW, done)
        else:
            done(False)

    def failed(_error):
        done(bool(conn.get('stored')) and not flags & ASK_REQUEST_NEW)

    mock.connection.call_async(agent, AGENT_OBJ, AGENT_IFACE, 'GetSecrets', 'a{sa{sv}}osasu',
                               (settings_of(conn), conn['path'], conn['type'], [], flags),
                               replied, failed)


def walk(mock, path, conn, outcome):
    '''Runs an activation through its states, one step per step_ms.'''
    token = object()
    state['walks'][path] = token
    kind, _, reason = outcome.partition(':')
    reason = int(reason or 0)
    vpn = conn['type'] == 'vpn'
    steps = []
    if not vpn:
        steps += [lambda: device_state(DEVICE_PREPARE, 0)]
    if kind == 'device':
        steps += [lambda: device_state(DEVICE_FAILED, reason),
                  lambda: device_state(DEVICE_DISCONNECTED, reason),
                  lambda: end(ACTIVE_REASON_DEVICE_DISCONNECTED)]
    elif kind == 'late':
        steps += [lambda: (active_state(path, ACTIVE_DEACTIVATED, ACTIVE_REASON_DEVICE_DISCONNECTED),
                           device_state(DEVICE_FAILED, reason)),
                  lambda: (device_state(DEVICE_DISCONNECTED, reason), remove_active(mock, path))]
    elif kind == 'gone':
        steps += [lambda: (active_state(path, ACTIVE_DEACTIVATED, ACTIVE_REASON_DEVICE_DISCONNECTED),
                           device_state(DEVICE_UNAVAILABLE, reason)),
                  lambda: remove_active(mock, path)]
    elif kind == 'active':
        steps += [lambda: end(reason)]
    else:
        if not vpn:
            steps += [lambda: device_state(DEVICE_CONFIG, 0)]
        if conn.get('password'):
            steps += ['secrets']
        if not vpn:
            steps += [lambda: device_state(DEVICE_IP_CONFIG, 0),
                      lambda: device_state(DEVICE_ACTIVATED, 0)]
        steps += [lambda: active_state(path, ACTIVE_ACTIVATED, 1)]

    def end(active_reason):
        active_state(path, ACTIVE_DEACTIVATED, active_reason)
        remove_active(mock, path)

    def fail_secrets():
        if vpn:
            end(9)
        else:
            device_state(DEVICE_FAILED, REASON_NO_SECRETS)
            device_state(DEVICE_DISCONNECTED, REASON_NO_SECRETS)
            end(ACTIVE_REASON_DEVICE_DISCONNECTED)

    def next_step():
        if state['walks'].get(path) is not token:
            return False
        if not steps:
            state['walks'].pop(path, None)
            return False
        step = steps.pop(0)
        if step == 'secrets':
            if not vpn:
                device_state(DEVICE_NEED_AUTH, 0)

            def done(ok):
                if state['walks'].get(path) is not token:
                    return
                if ok:
                    GLib.timeout_add(state['step_ms'], next_step)
                else:
                    fail_secrets()
            ask_secrets(mock, path, conn, ASK_ALLOW_INTERACTION, done)
            return False
        step()
        GLib.timeout_add(state['step_ms'], next_step)
        return False

    if kind == 'instant':
        device_state(DEVICE_PREPARE, 0)
        device_state(DEVICE_FAILED, reason)
        end(ACTIVE_REASON_DEVICE_DISCONNECTED)
        return
    GLib.timeout_add(state['step_ms'], next_step)


@dbus.service.method(MAIN_IFACE, in_signature='ooo', out_signature='o',
                     async_callbacks=('reply', 'fail'))
def activate_late(self, conn_path, device, specific, reply, fail):
    try:
        path = activate(self, conn_path, device, specific)
    except dbus.exceptions.DBusException as e:
        fail(e)
        return
    GLib.timeout_add(state['answer_after_ms'], lambda: reply(path) and False)


@dbus.service.method(CONNECTION_IFACE, in_signature='', out_signature='a{sa{sv}}',
                     async_callbacks=('_reply', '_fail'))
def never_answer(_self, _reply, _fail):
    pass


def activate(self, conn_path, _device, _specific):
    conn = state['connections'].get(str(conn_path))
    if conn is None:
        raise error('UnknownConnection', 'no connection ' + str(conn_path))
    if conn.get('denied'):
        raise error('PermissionDenied', 'not allowed')
    attempt = state['attempts'].get(conn['id'], 0)
    state['attempts'][conn['id']] = attempt + 1
    script = conn.get('script') or ['connect']
    outcome = script[min(attempt, len(script) - 1)]
    path = MAIN_OBJ + '/ActiveConnection/' + str(state['next_active'])
    state['next_active'] += 1
    vpn = conn['type'] == 'vpn'
    self.AddObject(path, ACTIVE_IFACE, {
        'Id': conn['id'], 'Uuid': conn['uuid'], 'Type': 'vpn' if vpn else conn['type'],
        'Vpn': vpn, 'Connection': dbus.ObjectPath(conn['path']),
        'Devices': dbus.Array([] if vpn else [dbus.ObjectPath(DEVICE_OBJ)], signature='o'),
        'State': dbus.UInt32(ACTIVE_ACTIVATING),
    }, [])
    active = list(manager().Get(MAIN_IFACE, 'ActiveConnections')) + [dbus.ObjectPath(path)]
    set_list(MAIN_OBJ, MAIN_IFACE, 'ActiveConnections', active)
    walk(self, path, conn, outcome)
    return dbus.ObjectPath(path)


def deactivate(self, path):
    path = str(path)
    if path not in [str(p) for p in manager().Get(MAIN_IFACE, 'ActiveConnections')]:
        raise error('ConnectionNotActive', 'not active: ' + path)
    state['walks'].pop(path, None)
    if not dbusmock.get_object(path).Get(ACTIVE_IFACE, 'Vpn'):
        device_state(DEVICE_DEACTIVATING, REASON_USER_REQUESTED)
        device_state(DEVICE_DISCONNECTED, REASON_USER_REQUESTED)
    active_state(path, ACTIVE_DEACTIVATING, ACTIVE_REASON_USER_DISCONNECTED)
    active_state(path, ACTIVE_DEACTIVATED, ACTIVE_REASON_USER_DISCONNECTED)
    remove_active(self, path)


@dbus.service.method(AGENT_MANAGER_IFACE, in_signature='s', sender_keyword='sender')
def register_agent(_self, identifier, sender=None):
    if state['refuse_agents'] or state['agent_ids'].get(identifier, sender) != sender:
        raise dbus.exceptions.DBusException(
            'refused', name=AGENT_MANAGER_IFACE + '.PermissionDenied')
    state['agent_ids'][identifier] = sender
    state['agent'] = sender


def load(mock, parameters):
    state['step_ms'] = int(parameters.get('step_ms', 20))
    state['refuse_agents'] = bool(parameters.get('refuse_agents'))
    state['answer_after_ms'] = int(parameters.get('answer_after_ms', 0))
    mock.AddProperties(MAIN_IFACE, {
        'ActiveConnections': dbus.Array([], signature='o'),
        'Devices': dbus.Array([dbus.ObjectPath(DEVICE_OBJ)], signature='o'),
        'Version': '1.42.4',
    })
    mock.AddMethods(MAIN_IFACE, [
        ('ActivateConnection', 'ooo', 'o', activate),
        ('DeactivateConnection', 'o', '', deactivate),
        ('GetDevices', '', 'ao', lambda self: self.Get(MAIN_IFACE, 'Devices')),
    ])
    if state['answer_after_ms']:
        mock.methods[MAIN_IFACE]['ActivateConnection'] = ('ooo', 'o', '', activate_late)
    mock.AddObject(DEVICE_OBJ, DEVICE_IFACE, {
        'Interface': 'ttyUSB0', 'State': dbus.UInt32(DEVICE_DISCONNECTED),
    }, [])
    mock.AddObject(AGENT_MANAGER_OBJ, AGENT_MANAGER_IFACE, {}, [
        ('Unregister', '', '', ''),
        ('GetAgent', '', 's', lambda self: state['agent'] or ''),
    ])
    dbusmock.get_object(AGENT_MANAGER_OBJ).methods[AGENT_MANAGER_IFACE]['Register'] = (
        's', '', '', register_agent)

    paths = []
    for number, conn in enumerate(parameters.get('connections', []), start=1):
        conn = dict(conn)
        conn['path'] = SETTINGS_OBJ + '/' + str(number)
        conn['uuid'] = '00000000-0000-4000-8000-%012d' % number
        state['connections'][conn['path']] = conn
        mock.AddObject(conn['path'], CONNECTION_IFACE, {}, [
            ('GetSettings', '', 'a{sa{sv}}', lambda self, c=conn: settings_of(c)),
        ])
        if parameters.get('stall_settings'):
            dbusmock.get_object(conn['path']).methods[CONNECTION_IFACE]['GetSettings'] = (
                '', 'a{sa{sv}}', '', never_answer)
        paths.append(dbus.ObjectPath(conn['path']))
    mock.AddObject(SETTINGS_OBJ, SETTINGS_IFACE, {
        'Connections': dbus.Array(paths, signature='o'),
    }, [
        ('ListConnections', '', 'ao', lambda self: self.Get(SETTINGS_IFACE, 'Connections')),
    ])

