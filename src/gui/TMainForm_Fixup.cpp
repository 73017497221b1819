// "Save fix-up LDIF ..." on the comparison pages: the LDIF that gives Tree #2 what Tree #1
// has of the page's kind, as kalvix-cli reconcile writes it.
#include <QAction>
#include <QDateTime>
#include <QSaveFile>
#include <memory>

#include "core/reconcile/Reconcile.h"
#include "gui/TMainForm.h"

void TMainForm::UpdatePopupFixup() {
    ListBox* list = PopupComponent;
    const bool comparePage = list != nullptr && (TabSheetCompareClasses->isAncestorOf(list) ||
                                                 TabSheetCompareAttributes->isAncestorOf(list));
    PopupSaveFixup->setVisible(comparePage);
    // A slot holds a Schema exactly when reconcile can read it; the view is built on a click.
    PopupSaveFixup->setEnabled(comparePage && Trees(1).Schema && Trees(2).Schema);
}

void TMainForm::PopupSaveFixupClick(QObject*) {
    ListBox* list = PopupComponent;
    if (list == nullptr) return;
    const std::shared_ptr<const PublishedSchema> tree1 = SlotPublishedSchema(Trees(1));
    const std::shared_ptr<const PublishedSchema> tree2 = SlotPublishedSchema(Trees(2));
    if (!tree1 || !tree2) return;
    const bool classes = TabSheetCompareClasses->isAncestorOf(list);

    FileDialogSetup setup;
    setup.fileName = QString("%1 - Fix-up %2.ldif")
                         .arg(DecodeName(Trees(2).TreeName), classes ? "Classes" : "Attributes");
    setup.filter = "LDIF Files (*.ldif);;All Files (*)";
    setup.defaultSuffix = "ldif";
    const std::optional<QString> chosen = dialogs_->saveFile(setup);
    if (!chosen) return;

    ReconcileOptions options;
    options.scope = classes ? ReconcileScope::ObjectClasses : ReconcileScope::AttributeTypes;
    options.dialect = PreferredDialect(*tree2);
    LdifHeader header;
    header.tree1Name = Trees(1).TreeName;
    header.tree2Name = Trees(2).TreeName;
    header.program = std::string("Kalvix ") + ProgramVersion();
    header.time = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString();
    header.schemaName = DefaultSchemaName(header.tree1Name);
    const std::string text =
        WriteReconcileLdif(PlanReconcile(*tree1, *tree2, options), *tree1, *tree2, options, header);
    QSaveFile file(*chosen);
    const auto size = static_cast<qsizetype>(text.size());
    const bool ok =
        file.open(QIODevice::WriteOnly) && file.write(text.data(), size) == size && file.commit();
    if (!ok)
        showMsgDlg(DlgType::Error, QString("Cannot create file %1").arg(*chosen).toStdString());
}
