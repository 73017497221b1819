// A main window on a chosen client, with scripted dialogs and a recording shell.
#pragma once

#include <gtest/gtest.h>

#include <QTest>
#include <filesystem>
#include <memory>

#include "core/ini/D_Ini.h"

#include "ScriptedDialogs.h"
#include "gui/TMainForm.h"
#include "sources/ClientFactory.h"

// Failures show a list's lines as text.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

class FormFixture : public ::testing::Test {
  protected:
    // Each window starts from no settings at all, unless it is a restart that keeps them.
    void makeForm(std::unique_ptr<DirClient> client, bool keepSettings = false) {
        form.reset();
        if (!keepSettings) std::filesystem::remove(SettingsFilePath());
        form = std::make_unique<TMainForm>(std::move(client),
                                           std::make_unique<ScriptedDialogs>(dialogs),
                                           std::make_unique<RecordingShell>(opened));
    }
    // No directory client; its start-up dialog is taken as read.
    void makeOfflineForm() {
        makeForm(CreateUnavailableClient(""));
        dialogs.messages.clear();
    }

    // Puts names into a slot as a load would, then lets the window take them in.
    void fillSlot(int tree, NameList classes, NameList attrs, bool online,
                  const std::string& name = "TREE") {
        TTreeInfo& slot = form->Trees(tree);
        slot.TreeName = name;
        slot.Online = online ? 1 : 0;
        slot.ClassNames = std::move(classes);
        slot.AttrNames = std::move(attrs);
        form->workspace().CurrentTree = tree;
        form->UpdateDisplay();
        form->InitializeSchemaLists();
    }

    // A tree read whole from a source that publishes its definitions, as a load leaves it.
    void fillPublishedSlot(int tree, std::shared_ptr<const TreeSchema> schema,
                           const std::string& name = "TREE") {
        NameList classes;
        NameList attrs;
        for (const SchemaClass& c : schema->classes) classes.push_back({c.name, 0});
        for (const SchemaAttribute& a : schema->attributes) attrs.push_back({a.name, 0});
        form->Trees(tree).Schema = std::move(schema);
        fillSlot(tree, std::move(classes), std::move(attrs), true, name);
    }

    static NameList names(std::initializer_list<const char*> list) {
        NameList out;
        for (const char* n : list) out.push_back({n, 0});
        return out;
    }

    // A left click on the line, as the user makes it.
    static void clickLine(ListBox* list, int row,
                          Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        const QModelIndex index = list->model()->index(row, 0);
        list->scrollTo(index);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                          list->visualRect(index).center());
    }

    static QStringList texts(const ListBox* list) {
        QStringList out;
        for (int i = 0; i < list->count(); ++i) out << list->itemText(i);
        return out;
    }

    ScriptedDialogs::Log dialogs;
    std::vector<RecordingShell::Opened> opened;
    std::unique_ptr<TMainForm> form;
};
