// Runs every test class of the controls; each is a QObject made by a factory in its own file.
#include <QApplication>
#include <QTest>
#include <memory>

std::unique_ptr<QObject> MakeLabelCtrlTest();
std::unique_ptr<QObject> MakeLabelCtrlClickTest();
std::unique_ptr<QObject> MakeAboutDialogTest();

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    int failed = 0;
    for (auto make : {MakeLabelCtrlTest, MakeLabelCtrlClickTest, MakeAboutDialogTest}) {
        const std::unique_ptr<QObject> test = make();
        failed += QTest::qExec(test.get(), argc, argv);
    }
    return failed == 0 ? 0 : 1;
}
