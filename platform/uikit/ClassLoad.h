// Class loading: work a library runs once per process when its classes are loaded, before the
// application's delegate hears of the launch (a manager that switches itself on, say). The
// library registers the work from a namespace-scope initialiser; the launch runs it.
#pragma once

#include <functional>

namespace uikit {

// Registers work to run when the classes load; returns true so that it can initialise a
// namespace-scope constant. Safe during static initialisation.
bool registerClassLoad(std::function<void()> load);
// Runs, in the order registered, the work not run yet; each piece runs once per process.
void loadClasses();

} // namespace uikit
