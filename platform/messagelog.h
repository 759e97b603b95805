#pragma once

// Keeps Qt's own messages off the user's terminal.

namespace ornamo {

/// Installs a Qt message handler for the whole program. Qt's debug, info and warning messages are
/// dropped, so only the program's own texts reach the terminal; with the environment variable
/// ORNAMO_DEBUG=1 they are written to stderr instead, one line each, as a debug log. Fatal
/// messages are always written (Qt aborts after them).
void installMessageHandler();

} // namespace ornamo
