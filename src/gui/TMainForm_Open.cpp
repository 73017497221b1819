// Trees opened without the dialogs (the command line, a dropped file), the window-wide
// keys, the save question and the status panels' tooltips.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QFileInfo>
#include <QHelpEvent>
#include <QLabel>
#include <QMimeData>
#include <QTabBar>
#include <QTabWidget>
#include <QToolTip>
#include <QUrl>

#include "core/D_Util.h"
#include "gui/CommandLine.h"
#include "gui/FindBar.h"
#include "gui/TMainForm.h"
#include "sources/ClientFactory.h"

namespace {

// The one local file a drag carries, or nothing.
std::optional<QString> DraggedFile(const QMimeData* mime) {
    if (!mime || !mime->hasUrls()) return std::nullopt;
    const QList<QUrl> urls = mime->urls();
    if (urls.size() != 1 || !urls.first().isLocalFile()) return std::nullopt;
    return urls.first().toLocalFile();
}

}  // namespace

void TMainForm::OpenOperands(const QStringList& operands) {
    bool loaded = true;
    for (int i = 0; i < operands.size() && i < 2; ++i) {
        const WindowOperand operand = ParseWindowOperand(operands[i]);
        const int tree = i + 1;
        loaded = (operand.live ? OpenTreeByName(tree, operand.text)
                               : OpenTreeFile(tree, operand.text)) &&
                 loaded;
    }
    if (!loaded) return;
    if (operands.size() >= 2 && isTabShown(TabSheetCompareClasses)) {
        PageControl->setCurrentWidget(TabSheetCompareClasses);
        PageControlClasses->setCurrentWidget(TabSheetClassesQuick);
    } else if (operands.size() == 1 && isTabShown(TabSheetSchemaTree1)) {
        PageControl->setCurrentWidget(TabSheetSchemaTree1);
    }
}

bool TMainForm::OpenTreeFile(int tree, const QString& path) {
    if (busy() || (tree != 1 && tree != 2)) return false;
    const QFileInfo info(path);
    if (!info.exists()) {
        showMsgDlg(DlgType::Error,
                   QString("Cannot read the schema file %1").arg(path).toStdString());
        return false;
    }
    return LoadSchemaFile(tree, info.absoluteFilePath());
}

bool TMainForm::OpenTreeByName(int tree, const QString& name) {
    if (busy() || (tree != 1 && tree != 2)) return false;
    const int index = FindReachableTree(reachableTrees_, name.toStdString());
    if (index < 0) {
        // An unknown name, not a tree that is down: say which names there are.
        std::string text = NoTreeNamedText(name.toStdString(), reachableTrees_);
        text[0] = 'N';
        showMsgDlg(DlgType::Error, text);
        return false;
    }
    QComboBox* combo = tree == 1 ? ComboBoxTree1 : ComboBoxTree2;
    combo->setCurrentIndex(index);
    ChangeTreeOnline(combo);
    return isTabShown(Controls(tree).TabSheet);
}

ListBox* TMainForm::FocusedList() const {
    for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget()) {
        if (auto* list = qobject_cast<ListBox*>(w)) return list;
        if (auto* bar = qobject_cast<FindBar*>(w)) return bar->list();
    }
    return nullptr;
}

void TMainForm::wireKeys() {
    ActionQuit = new QAction("Quit", this);
    ActionQuit->setObjectName("ActionQuit");
    ActionQuit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(ActionQuit, &QAction::triggered, this, &QWidget::close);
    ActionInfo = new QAction("Info", this);
    ActionInfo->setObjectName("ActionInfo");
    ActionInfo->setShortcut(QKeySequence(Qt::Key_F1));
    connect(ActionInfo, &QAction::triggered, this,
            [this] { PageControl->setCurrentWidget(TabSheetInfo); });
    ActionSaveList = new QAction("Save as ...", this);
    ActionSaveList->setObjectName("ActionSaveList");
    ActionSaveList->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    connect(ActionSaveList, &QAction::triggered, this, [this] {
        ListBox* list = FocusedList();
        if (!list) return;
        PopupComponent = list;
        PopupSaveAsClick(ActionSaveList);
    });
    addActions({ActionQuit, ActionInfo, ActionSaveList});
}

std::optional<QString> TMainForm::chooseSaveFile(const FileDialogSetup& setup) {
    std::optional<QString> chosen = dialogs_->saveFile(setup);
    // Only a regular file is asked about: a folder, FIFO or dangling link in the way is not
    // replaced, and writing then says why it cannot.
    const QFileInfo existing(chosen.value_or(QString()));
    if (!chosen || !existing.isFile()) return chosen;
    const QString question =
        QString("The file %1 already exists.\nDo you want to replace it?").arg(*chosen);
    if (!dialogs_->confirm(question)) return std::nullopt;
    return chosen;
}

bool TMainForm::dropEventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) return false;
    const auto zone = std::find_if(dropZones_.begin(), dropZones_.end(),
                                   [watched](const auto& z) { return z.first == watched; });
    if (zone == dropZones_.end()) return false;
    auto* drop = static_cast<QDropEvent*>(event);
    int tree = zone->second;
    if (tree == 0) {
        // On the tab bar: the schema page's tab under the pointer.
        auto* bar = static_cast<QTabBar*>(watched);
        QWidget* page = PageControl->widget(bar->tabAt(drop->position().toPoint()));
        tree = page == TabSheetSchemaTree1 ? 1 : page == TabSheetSchemaTree2 ? 2 : 0;
    }
    const std::optional<QString> file = DraggedFile(drop->mimeData());
    if (tree == 0 || !file || busy()) {
        event->ignore();
        return true;
    }
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (type == QEvent::Drop) {
        // The drag's source waits for the drop to end: the load runs after it.
        const QString path = *file;
        QMetaObject::invokeMethod(
            this, [this, tree, path] { OpenTreeFile(tree, path); }, Qt::QueuedConnection);
    }
    return true;
}

bool TMainForm::statusTipFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::ToolTip) return false;
    const auto panel = std::find(StatusPanels.begin(), StatusPanels.end(), watched);
    if (panel == StatusPanels.end()) return false;
    QLabel* label = *panel;
    const QString text = label->text();
    // A tree's panel tells where its tree comes from; the message panel needs a tooltip
    // only for a text it cuts.
    const int tree = static_cast<int>(panel - StatusPanels.begin()) + 1;
    const QString source = tree <= 2 && !text.isEmpty() ? SlotSource(tree, true) : QString();
    const QPoint at = static_cast<QHelpEvent*>(event)->globalPos();
    if (!source.isEmpty())
        QToolTip::showText(at, text + '\n' + source, label);
    else if (label->fontMetrics().horizontalAdvance(text) > label->contentsRect().width())
        QToolTip::showText(at, text, label);
    else
        QToolTip::hideText();
    return true;
}
