// A model file that reaches up into the window state record: the layer check must refuse it.
// Never compiled; read only by the check.
#include "show/setlist.h"
#include "ui/plugin_ui.h"
