// The static Qt has no plugin folder: the platforms the program and its tests start on are
// linked in. Windows for the technician's PC, offscreen for the tests (-platform offscreen).
#include <QtPlugin>

Q_IMPORT_PLUGIN(QWindowsIntegrationPlugin)
Q_IMPORT_PLUGIN(QOffscreenIntegrationPlugin)
