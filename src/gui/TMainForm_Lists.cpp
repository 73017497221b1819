// "Save as ..." on any list box: its lines, CR LF after each, replacing the file whole.
#include <QSaveFile>

#include "core/RegularFile.h"
#include "core/writers/HtmlReport.h"
#include "gui/TMainForm.h"

namespace {

struct ProposedName {
    ListBox* TMainForm::*list;
    const char* pattern;
    int tree;
};

}  // namespace

void TMainForm::PopupSaveAsClick(QObject*) {
    ListBox* list = PopupComponent;
    if (!list) return;
    static const ProposedName kNames[] = {
        {&TMainForm::ListBoxClasses1, "%1 - Classes.txt", 1},
        {&TMainForm::ListBoxClasses2, "%1 - Classes.txt", 2},
        {&TMainForm::ListBoxAttr1, "%1 - Attributes.txt", 1},
        {&TMainForm::ListBoxAttr2, "%1 - Attributes.txt", 2},
        {&TMainForm::ListBoxUniqueClasses1, "%1 - Unique Classes.txt", 1},
        {&TMainForm::ListBoxUniqueClasses2, "%1 - Unique Classes.txt", 2},
        {&TMainForm::ListBoxUniqueAttr1, "%1 - Unique Attributes.txt", 1},
        {&TMainForm::ListBoxUniqueAttr2, "%1 - Unique Attributes.txt", 2},
    };
    FileDialogSetup setup;
    setup.fileName = "*.txt";
    for (const ProposedName& proposed : kNames)
        if (this->*proposed.list == list)
            setup.fileName =
                QString(proposed.pattern).arg(DecodeName(Trees(proposed.tree).TreeName));
    setup.filter = "Text Files (*.txt);;All Files (*)";
    setup.defaultSuffix = "txt";
    setup.directory = StartFolder();
    // A comparison's results can also go out as its report: a name ending in .html says so.
    const std::shared_ptr<const ReportInput> report = reportFor(list);
    if (report) setup.filter = "Text Files (*.txt);;HTML report (*.html);;All Files (*)";
    const std::optional<QString> chosen = chooseSaveFile(setup);
    if (!chosen) return;
    if (report && (chosen->endsWith(".html", Qt::CaseInsensitive) ||
                   chosen->endsWith(".htm", Qt::CaseInsensitive)))
        saveReport(*report, *chosen);
    else
        saveListBox(list, *chosen);
}

void TMainForm::saveReport(const ReportInput& report, const QString& path) {
    if (const std::string why = ReplaceableTargetProblem(path.toStdString()); !why.empty()) {
        showErrorDlg(QString("Cannot create file %1").arg(path).toStdString(), why);
        return;
    }
    const std::string html = HtmlReport(report);
    QSaveFile file(path);
    const bool ok = file.open(QIODevice::WriteOnly) &&
                    file.write(html.data(), static_cast<qint64>(html.size())) ==
                        static_cast<qint64>(html.size()) &&
                    file.commit();
    if (!ok) showMsgDlg(DlgType::Error, QString("Cannot create file %1").arg(path).toStdString());
}

void TMainForm::saveListBox(ListBox* listBox, const QString& path) {
    QByteArray bytes;
    for (const std::string& line : listBox->lines()) {
        bytes.append(line.data(), static_cast<qsizetype>(line.size()));
        bytes.append("\r\n");
    }
    // A FIFO, device or dangling link is never written through or replaced.
    if (const std::string why = ReplaceableTargetProblem(path.toStdString()); !why.empty()) {
        showErrorDlg(QString("Cannot create file %1").arg(path).toStdString(), why);
        return;
    }
    // Written beside the target and renamed into place: a failure leaves the old file.
    QSaveFile file(path);
    const bool ok =
        file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
    if (!ok) showMsgDlg(DlgType::Error, QString("Cannot create file %1").arg(path).toStdString());
}
