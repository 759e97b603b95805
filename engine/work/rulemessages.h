#pragma once

// The texts of what a read of a rule file has to say (rulediagnostics.h) and of a refused
// write of rules (hierarchywriter.h): Slovak sentences of the program's own, beside the table
// of messages.h.

#include "hierarchywriter.h"
#include "rulediagnostics.h"

#include <string>
#include <string_view>

namespace ornamo::messages {

/// "chyba", "upozornenie" or "poznámka", as a diagnostic line names its kind.
std::string_view kindWord(DiagnosticKind kind);

/// The sentence of a diagnostic, without its place: what was expected and what was found.
std::string text(const RuleDiagnostic& diagnostic);

/// The sentence with its place before it: "Riadok 7, stĺpec 10: …".
std::string placedText(const RuleDiagnostic& diagnostic);

/// The line of a diagnostic in the form editors jump from: "FILE:LINE:COL: chyba: …".
std::string diagnosticLine(std::string_view fileName, const RuleDiagnostic& diagnostic);

/// Why rules cannot be written so that they read back the same; empty for None.
std::string text(const RulesWriteResult& result);

} // namespace ornamo::messages
