#pragma once

// How the process is set up around its QApplication; the benchmark measures the same set-up.
namespace Startup {

// Before the QApplication exists.
void prepareEnvironment();

// Once the QApplication exists.
void prepareApplication();

} // namespace Startup
