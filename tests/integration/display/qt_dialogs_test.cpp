// The toolkit's standard dialogs as the program opens them, off-screen: they speak French
// (the toolkit's own French catalogue is loaded at start-up), and the file chooser shows the
// caller's filter label as given, each pattern once, while still filtering by the patterns.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <functional>
#include <string>

#include "tests/fakes/qt_test_ui.h"
#include "web/picture_upload.h"

namespace orvane {
namespace {

template <class Dialog>
Dialog* openDialog() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* d = qobject_cast<Dialog*>(w); d != nullptr && d->isVisible()) return d;
    }
    return nullptr;
}

// Runs `open` on the UI thread's loop; once a visible `Dialog` is up, `look` reads it and
// closes it.
template <class Dialog>
void whileOpen(const std::function<void()>& open, const std::function<void(Dialog&)>& look) {
    auto& ui = test::testUi();
    test::answerBoxesAutomatically(false);
    bool seen = false;
    const int poll = ui.startTimer(20, [&] {
        if (Dialog* d = openDialog<Dialog>()) {
            seen = true;
            look(*d);
            d->reject();
        }
    });
    ui.post([&] {
        open();
        ui.quit(0);
    });
    ui.run();
    ui.killTimer(poll);
    test::answerBoxesAutomatically(true);
    EXPECT_TRUE(seen);
}

QString buttonText(QDialogButtonBox* box, QDialogButtonBox::StandardButton which) {
    QPushButton* b = box ? box->button(which) : nullptr;
    return b ? b->text() : QString();
}

TEST(QtDialogs, TheToolkitsFrenchCatalogueIsLoaded) {
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Annuler");
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Open"), "Ouvrir");
}

TEST(QtDialogs, TheColourChooserSpeaksFrench) {
    platform::Colour colour = platform::rgb(0, 0, 0);
    whileOpen<QColorDialog>([&] { test::testUi().chooseColour(nullptr, colour); },
                            [](QColorDialog& d) {
                                auto* box = d.findChild<QDialogButtonBox*>();
                                EXPECT_EQ(buttonText(box, QDialogButtonBox::Cancel), "Annuler");
                                EXPECT_EQ(d.windowTitle().toStdString(), "S\xC3\xA9lectionner une couleur");
                            });
}

TEST(QtDialogs, TheMessageBoxButtonIsTheFrenchOne) {
    whileOpen<QMessageBox>(
        [] { test::testUi().messageBox(nullptr, "Texte", "Titre", platform::MessageIcon::Information); },
        [](QMessageBox& box) {
            QAbstractButton* ok = box.button(QMessageBox::Ok);
            ASSERT_NE(ok, nullptr);
            EXPECT_EQ(ok->text(), QCoreApplication::translate("QPlatformTheme", "OK"));
        });
}

TEST(QtDialogs, TheFileChooserShowsEachPatternOnceAndSpeaksFrench) {
    whileOpen<QFileDialog>(
        [] { test::testUi().chooseOpenFile(web::kUploadFilterName, web::kUploadPatterns); },
        [](QFileDialog& d) {
            auto* types = d.findChild<QComboBox*>("fileTypeCombo");
            ASSERT_NE(types, nullptr);
            ASSERT_EQ(types->count(), 1);
            EXPECT_EQ(types->itemText(0).toStdString(), web::kUploadFilterName);
            // Still filters by the patterns, not by the label's text.
            ASSERT_EQ(d.nameFilters().size(), 1);
            EXPECT_TRUE(d.nameFilters().front().endsWith("(*.png *.jpg *.jpeg *.bmp *.gif)"))
                << d.nameFilters().front().toStdString();
            auto* box = d.findChild<QDialogButtonBox*>("buttonBox");
            EXPECT_EQ(buttonText(box, QDialogButtonBox::Cancel), "Annuler");
            EXPECT_EQ(buttonText(box, QDialogButtonBox::Open), "&Ouvrir");
        });
}

}  // namespace
}  // namespace orvane
