#include "rulemessages.h"

#include "messages.h"

namespace ornamo::messages {

namespace {

constexpr std::string_view keywordList = "R0, R90, R180, R270, MR0, MR90, MR180 alebo MR270";

// A whole number with its thousands set apart by spaces: "1 048 576".
std::string grouped(std::int64_t value) {
    const std::string digits = std::to_string(value < 0 ? -value : value);
    std::string out = value < 0 ? "−" : "";
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += ' ';
        out += digits[i];
    }
    return out;
}

std::string inQuotes(std::string_view text) {
    return "„" + std::string(text) + "“";
}

// The value a diagnostic is about, in the nominative, with its part where it has one.
std::string fieldName(const RuleDiagnostic& d) {
    const std::string ofPart = " dielu " + std::to_string(d.part);
    switch (d.field) {
    case RuleField::GridSize:
        return "veľkosť mriežky";
    case RuleField::PartCount:
        return "počet dielov";
    case RuleField::X:
        return "stĺpec" + ofPart;
    case RuleField::Y:
        return "riadok" + ofPart;
    case RuleField::Width:
        return "šírka" + ofPart;
    case RuleField::Height:
        return "výška" + ofPart;
    case RuleField::Orientation:
        return "orientácia" + ofPart;
    case RuleField::None:
        break;
    }
    return "hodnota";
}

std::string capitalized(std::string text) {
    // Every field name starts with a letter of ASCII or with "š" or "v".
    if (text.starts_with("š"))
        return "Š" + text.substr(std::string_view("š").size());
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
    return text;
}

std::string refused() {
    return "príkaz sa nedá použiť (" + inQuotes(commandUnusable) + ")";
}

std::string badNumber(const RuleDiagnostic& d) {
    const std::string field = capitalized(fieldName(d));
    switch (d.number) {
    case NumberFault::Missing:
        return field + ": chýba číslo. Prvých šesť znakov riadka sa preskakuje ako návestie "
                       "(„scale:“, „item: “), číslo má stáť za nimi.";
    case NumberFault::NoDigits:
        return field + ": za " + inQuotes(d.found) + " chýbajú číslice.";
    case NumberFault::BadCharacter:
        return field +
               ": očakáva sa celé číslo (desiatkové, alebo šestnástkové za $, x alebo "
               "0x), nájdené " +
               inQuotes(d.found) + ".";
    case NumberFault::TrailingBlank:
        if (d.found.find_first_not_of(' ') == std::string::npos)
            return field + ": za číslom stojí medzera; za číslom nesmie nič nasledovať.";
        return field + ": za číslom nesmie nič nasledovať, nájdené " + inQuotes(d.found) + ".";
    case NumberFault::OutOfRange:
        return field + " " + inQuotes(d.found) +
               " je mimo rozsahu: desiatkové číslo od −2 147 483 648 do 2 147 483 647, "
               "šestnástkové najviac 32 bitov.";
    case NumberFault::None:
        break;
    }
    return field + ": chybné číslo.";
}

std::string zeroSize(const RuleDiagnostic& d) {
    return d.field == RuleField::Width ? "šírku 0" : "výšku 0";
}

} // namespace

std::string_view kindWord(DiagnosticKind kind) {
    switch (kind) {
    case DiagnosticKind::Error:
        return "chyba";
    case DiagnosticKind::Warning:
        return "upozornenie";
    case DiagnosticKind::Note:
        return "poznámka";
    }
    return {};
}

std::string text(const RuleDiagnostic& d) {
    const std::string part = std::to_string(d.part);
    switch (d.problem) {
    case RuleProblem::LineTooLong:
        return "Riadok je dlhší ako " + grouped(d.limit) + " bajtov; ďalej sa nečíta.";
    case RuleProblem::TextTooLong:
        return "Záznamy siahajú za prvých " + grouped(d.limit) + " bajtov súboru; ďalej sa nečíta.";
    case RuleProblem::MissingLine:
        return d.field == RuleField::GridSize
                   ? "Súbor končí tam, kde má byť riadok s veľkosťou mriežky („scale: N“)."
                   : "Súbor končí tam, kde má byť riadok s počtom dielov („item: P“).";
    case RuleProblem::BadNumber:
        return badNumber(d);
    case RuleProblem::NegativePartCount:
        return "Záporný počet dielov " + grouped(d.value) + ".";
    case RuleProblem::MissingPart:
        return "Súbor končí pred dielom " + part + " z " + grouped(d.count) +
               " (počet z riadka „item: “).";
    case RuleProblem::UnknownOrientation:
        return "Neznáma orientácia " + inQuotes(d.found) + " dielu " + part + "; platí " +
               std::string(keywordList) + ".";
    case RuleProblem::MissingOrientation:
        return "Chýba orientácia dielu " + part + ": na riadku jeho štvrtého čísla má stáť " +
               std::string(keywordList) + ".";
    case RuleProblem::LabelTookDigit:
        return "Šiesty znak riadka, " + inQuotes(d.found) +
               ", sa preskočí spolu s návestím a do čísla sa nepočíta; za „item:“ patrí "
               "medzera („item: 12“).";
    case RuleProblem::ValueTruncated:
        return capitalized(fieldName(d)) + " " + grouped(d.value) +
               " sa nezmestí do 16 bitov; uloží sa ako " + grouped(d.limit) + ".";
    case RuleProblem::GridSizeZero:
        return "Veľkosť mriežky 0: " + refused() + ".";
    case RuleProblem::PartWithoutArea:
        return "Diel " + part + " má " + zeroSize(d) + " a nič nenakreslí.";
    case RuleProblem::FirstPartWithoutArea:
        return "Prvý diel má " + zeroSize(d) + ": „Zruš posledný príkaz“ ňou nemôže deliť, " +
               refused() + ".";
    case RuleProblem::PartOutsideGrid:
        return "Diel " + part + " siaha za mriežku " + grouped(d.limit) + " × " + grouped(d.limit) +
               ": " + (d.field == RuleField::X ? "stĺpec + šírka = " : "riadok + výška = ") +
               grouped(d.value) + ".";
    case RuleProblem::NoParts:
        return "Príkaz bez dielov: " + refused() + ".";
    case RuleProblem::ExtraRecords:
        return "Text pokračuje za dvanástym záznamom; tlačidiel príkazov je dvanásť, ďalšie "
               "záznamy sa nenačítajú.";
    case RuleProblem::BlankName:
        return "Meno príkazu tvoria len medzery; tlačidlo bude bez popisu.";
    case RuleProblem::NameAtEnd:
        return "Meno na poslednom riadku bez ďalších riadkov sa vynechá.";
    case RuleProblem::UncoveredCells:
        return grouped(d.value) + " z " + grouped(d.limit) +
               " buniek mriežky nepokrýva žiadny diel (prvá v stĺpci " + grouped(d.cellX) +
               ", riadku " + grouped(d.cellY) + "); ostanú vo farbe medzery.";
    }
    return {};
}

std::string placedText(const RuleDiagnostic& d) {
    return "Riadok " + std::to_string(d.line) + ", stĺpec " + std::to_string(d.column) + ": " +
           text(d);
}

std::string diagnosticLine(std::string_view fileName, const RuleDiagnostic& d) {
    return std::string(fileName) + ":" + std::to_string(d.line) + ":" + std::to_string(d.column) +
           ": " + std::string(kindWord(d.kind)) + ": " + text(d);
}

std::string text(const RulesWriteResult& result) {
    const std::string record = "Príkaz " + std::to_string(result.record) + " ";
    switch (result.failure) {
    case RulesWriteFailure::None:
        return {};
    case RulesWriteFailure::EmptyName:
        return record + "má prázdne meno, ktoré by sa pri čítaní vynechalo.";
    case RulesWriteFailure::NameWithLineEnd:
        return record + "má v mene koniec riadka.";
    case RulesWriteFailure::NameWithEndOfText:
        return record + "má v mene znak Ctrl+Z, ktorý ukončuje text.";
    case RulesWriteFailure::NameTooLong:
        return record + "má meno dlhšie ako " +
               grouped(static_cast<std::int64_t>(hierarchyLineLimit)) + " bajtov.";
    case RulesWriteFailure::ValueOutOfRange:
        return record + "má diel s hodnotou mimo 0 až 65 535.";
    case RulesWriteFailure::UnknownOrientation:
        return record + "má diel s neznámou orientáciou.";
    case RulesWriteFailure::TooLong:
        return "Pravidlá by boli dlhšie ako " +
               grouped(static_cast<std::int64_t>(hierarchyFileLimit)) + " bajtov (po príkaz " +
               std::to_string(result.record) + ").";
    }
    return {};
}

} // namespace ornamo::messages
