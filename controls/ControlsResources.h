// The controls' resources (lamp glyphs, the settings dialog's layout),
// compiled into the program. RegisterControlClasses calls this.
#pragma once

void RegisterControlsResources();
