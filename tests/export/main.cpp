#include <QApplication>
#include <QTest>

int RunExportDialogTests(int argc, char** argv);
int RunExportRunTests(int argc, char** argv);

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int failed = RunExportDialogTests(argc, argv);
    failed += RunExportRunTests(argc, argv);
    return failed;
}
