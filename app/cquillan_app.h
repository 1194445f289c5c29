// The application's start-up around the modal main dialog.
#pragma once

namespace trelvane {

/// Starts the toolkit, runs the main dialog modally and ends when it closes.
class CQuillanApp
{
public:
    /// Reads the system code page before the toolkit can change the locale, then builds the
    /// toolkit's application object from programPath alone: arguments are ignored.
    /// Returns the process exit code once the dialog has closed.
    static int Run(char* programPath);
};

} // namespace trelvane
