#pragma once
// A document at 96 dpi, the scripted prompter and helpers that reach a
// dialog's fields by their object names.

#include "dialogs/property_dialog.h"
#include "model/document.h"
#include "support/scripted_prompter.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <gtest/gtest.h>

#include <memory>

namespace ordavel {

class DialogTest : public ::testing::Test {
protected:
    template <typename D> std::unique_ptr<D> open(int index)
    {
        auto dialog = std::make_unique<D>(nullptr, doc, index, prompter);
        dialog->load();
        return dialog;
    }
    static QLineEdit* field(QWidget* dialog, const char* name)
    {
        auto* f = dialog->findChild<QLineEdit*>(QString::fromUtf8(name));
        EXPECT_NE(f, nullptr) << name;
        return f;
    }
    static QString text(QWidget* dialog, const char* name) { return field(dialog, name)->text(); }
    static void type(QWidget* dialog, const char* name, const char* value)
    {
        field(dialog, name)->setText(QString::fromUtf8(value));
    }
    static QAbstractButton* button(QWidget* dialog, const char* name)
    {
        auto* b = dialog->findChild<QAbstractButton*>(QString::fromUtf8(name));
        EXPECT_NE(b, nullptr) << name;
        return b;
    }
    static void click(QWidget* dialog, const char* name) { button(dialog, name)->click(); }

    Document doc{UnitFactors::fromDpi(96.0)};
    ScriptedPrompter prompter;
};

} // namespace ordavel
