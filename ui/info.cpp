#include "info.h"

#include "formfont.h"

#include <QFontMetricsF>
#include <QScrollBar>
#include <QTextEdit>

#include <algorithm>
#include <cmath>

#include <array>

namespace {

// One paragraph per entry. The double space in the third line and the trailing spaces are part
// of the text as it has always been shown.
constexpr std::array<const char*, 39> helpLines = {
    "Ovládanie programu...",
    "",
    "Hierarchická mozaika sa tak ako každá iná  mozaika skladá z ",
    "dlaždíc. Príkazom v menu Súbor/Otvor bitmapu načítate bitmapu ",
    "základnej dlaždice.",
    "",
    "Nenačítajte zbytočne veľké bitmapy. Pred načítaním je vhodné ",
    "súčasnú mozaiku zresetovať príkazom menu Mozaika/Reset.",
    "",
    "Mozaiku vytvárate postupným aplikovaním príkazov dostupných ",
    "na panely vľavo.",
    "",
    "Celý postup sa ukladá automaticky do Príkazového zásobníka. ",
    "Manipulovať s ním môžete cez príkazy v menu pod položkou ",
    "Mozaika.",
    "",
    "Pokiaľ chcete predísť automatickému zmenšovaniu dlaždíc (tj. ",
    "ak chcete, aby sa s použitím nejakého príkazu mozaika ",
    "adekvátne zväčšila), zapnite voľbu menu Mozaika/Neškáluj.",
    "",
    "Ak si chcete vytvoriť vlastné príkazy na tvorbu mozaiky, pozrite ",
    "si ",
    "štruktúru súboru default.hrh. Je to obyčajný textový súbor ",
    "pozostávajúci z jednotlivých záznamov.",
    "Každý záznam má tvar: prvý riadok meno príkazu, druhý riadok ",
    "scale: rozmer mriežky príkazu, tretí riadok, item: počet ",
    "jednotlivých častí príkazu.",
    "Ďalej nasledujú riadky jednotlivých častí príkazu. Prvá dvojica ",
    "čísiel predstavuje súradnice v mriežke príkazu, druhá dvojica ",
    "veľkosť v tejto mriežke a napokon jedna z hodnôt: R0, R90, ",
    "R180, R270, MR0, MR90, MR180 alebo MR270. Ich význam ",
    "stačí vyskúšať.",
    "",
    "Voľba Mozaika/Farba medzery sa prejaví, len pri aplikovaní ",
    "príkazov s medzerou. To znamená príkazov, ktorých časti ",
    "nevyplnili celú plochu mriežky.",
    "",
    "To je dúfam všetko. Veľa zdaru a tvorivého ducha Vám želá ",
    "autor.",
};

// Keys without a menu item of their own (taken by the main window's key handler): the keys as
// written here and what they do.
constexpr std::array<std::array<const char*, 2>, 9> otherKeys{{
    {"Num -", "Zmenši"},
    {"Num +", "Zväčši"},
    {"Num *", "plná veľkosť"},
    {"Ctrl+-, Ctrl++", "oddiali, priblíži okolo stredu (aj bližšie než plná veľkosť)"},
    {"Ctrl+0", "plná veľkosť okolo stredu"},
    {"Ctrl+Shift+Z", "Znova"},
    {"Ctrl+koliesko", "zväčší okolo ukazovateľa"},
    {"Alt+S, Alt+M, Alt+P", "otvorí menu"},
    {"F10", "menu"},
}};

// The text as it has always been, then the keys under a heading of their own.
QStringList helpTextLines(const QList<HelpKey>& menuKeys) {
    QStringList lines;
    for (const char* line : helpLines)
        lines << QString::fromUtf8(line);
    lines << QString() << QStringLiteral("Klávesy") << QString();
    for (const HelpKey& key : menuKeys)
        lines << QStringLiteral("%1   %2").arg(key.keys, key.what);
    for (const auto& [keys, what] : otherKeys)
        lines << QStringLiteral("%1   %2").arg(QString::fromUtf8(keys), QString::fromUtf8(what));
    return lines;
}

} // namespace

HelpWindow::HelpWindow(const QList<HelpKey>& menuKeys, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("TForm5"));
    setWindowTitle(QStringLiteral("Ovládanie..."));
    setFont(formFont(11));
    setFixedSize(330, 284);
    move(254, 177);
    // Closing hides the window; only the main window ends the program.
    setAttribute(Qt::WA_DeleteOnClose, false);
    setAttribute(Qt::WA_QuitOnClose, false);
    createControls(helpTextLines(menuKeys));
}

void HelpWindow::createControls(const QStringList& lines) {
    RichEdit1 = new QTextEdit(this);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setGeometry(0, 0, 329, 281);
    RichEdit1->setAcceptRichText(false);
    RichEdit1->setPlainText(lines.join(QLatin1Char('\n')));
    RichEdit1->setReadOnly(true);
    RichEdit1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // The lines were broken by hand for the box's width: they are shown as written, never
    // wrapped again, in the window's face narrowed (or, failing that, made smaller) until the
    // longest line fits the box.
    RichEdit1->setLineWrapMode(QTextEdit::NoWrap);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    fitTextToBox(lines);
}

void HelpWindow::fitTextToBox(const QStringList& lines) {
    const int available = RichEdit1->width() - 2 * RichEdit1->frameWidth() -
                          RichEdit1->verticalScrollBar()->sizeHint().width() -
                          2 * static_cast<int>(std::ceil(RichEdit1->document()->documentMargin()));
    auto widest = [&lines](const QFont& font) {
        const QFontMetricsF metrics(font);
        qreal width = 0;
        for (const QString& line : lines) // trailing blanks hang past the edge
            width = std::max(width, metrics.horizontalAdvance(line.trimmed()));
        return width;
    };
    QFont font = RichEdit1->font();
    for (int stretch = 100; stretch >= 75 && widest(font) > available; stretch -= 5)
        font.setStretch(stretch);
    while (font.pixelSize() > 6 && widest(font) > available)
        font.setPixelSize(font.pixelSize() - 1);
    RichEdit1->setFont(font);
}
