// The editor as a desktop program: Qt's texts in Slovak, files given on the command line or
// dropped on the window, the rule tooltips and the dialogs' keys.

#include "windowfixture.h"

#include "messages.h"

using namespace windowtest;
namespace messages = ornamo::messages;

// The question before another hierarchy is read offers Slovak buttons, and a typed name of a
// file that is not there brings the program's own message, not Qt's.
TEST(Desktop, ReloadQuestionInSlovakAndMissingHierarchy) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    click(*window, "com1");
    const QString missing = folder->file("chyba.hrh");
    QStringList texts;
    ModalScript script;
    script.then<QMessageBox>([](QMessageBox& box) {
        EXPECT_EQ(box.button(QMessageBox::Yes)->text(), text("Án&o"));
        EXPECT_EQ(box.button(QMessageBox::No)->text(), text("&Nie"));
        EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), text("Zrušiť"));
        box.button(QMessageBox::Yes)->click();
    });
    answerFile(script, missing, "OpenDialog2");
    script.message(&texts);
    trigger(*window, "Natajhierarchiu1");
    EXPECT_EQ(texts, QStringList{text(messages::openFailed(missing.toStdString()))});
}
