#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "Sandbox.h"
#include "gui/DialogAutomation.h"

namespace zn::test {

// Message boxes in automation mode for every test, so that none waits for a person: answered
// from the queue given, their lines kept in the sandbox.
class ConfigUiTest : public ::testing::Test {
protected:
    void SetUp() override { Answer(""); }
    void TearDown() override { gui::DialogAutomation::Process().Configure(std::nullopt, ""); }

    void Answer(std::string_view answers) {
        gui::DialogAutomation::Process().Configure(m_sandbox.Path() / "dialogs.jsonl", answers);
    }
    std::string Dialogs() const {
        return ReadFile(m_sandbox.Path() / "dialogs.jsonl").value_or("");
    }
    bool Showed(std::string_view text) const { return Times(text) > 0; }
    int Times(std::string_view text) const {
        const std::string dialogs = Dialogs();
        int times = 0;
        for (auto at = dialogs.find(text); at != std::string::npos;
             at = dialogs.find(text, at + text.size())) {
            ++times;
        }
        return times;
    }

    Sandbox m_sandbox;
};

}  // namespace zn::test
