"""A stand-in of Mutter's remote desktop interface (a python-dbusmock template): only its
Version property, parameter "Version" (default 1)."""
import dbus

BUS_NAME = 'org.gnome.Mutter.RemoteDesktop'
MAIN_OBJ = '/org/gnome/Mutter/RemoteDesktop'
MAIN_IFACE = 'org.gnome.Mutter.RemoteDesktop'
SYSTEM_BUS = False


def load(mock, parameters):
    mock.AddProperty(MAIN_IFACE, 'Version', dbus.Int32(parameters.get('Version', 1)))
