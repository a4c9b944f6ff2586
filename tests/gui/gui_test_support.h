// Shared pieces of the GUI tests: dialogs answered from a script, a scratch folder with
// a settings file, data folder and models, and a main window made on them.
#pragma once

#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QApplication>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app/main_window.h"
#include "model/rsm_test_file.h"
#include "platform/dialogs.h"

namespace plovant::testing {

// Answers the file dialogs from queues (an empty optional is Cancel; an empty queue
// cancels too) and records every dialog and message box shown.
class ScriptedDialogs : public Dialogs {
public:
    struct FileRequest {
        bool save;
        std::string filter;
        std::string file_name;
    };
    struct Message {
        std::string title;
        std::string text;
        MessageIcon icon;
    };

    std::deque<std::optional<std::string>> answers;
    std::vector<FileRequest> requests;
    std::vector<Message> messages;
    // Answers of the Yes/No questions, in order (an empty queue answers No), and the
    // questions asked.
    std::deque<bool> yes_no_answers;
    std::vector<Message> questions;

    void Answer(std::optional<std::string> path) { answers.push_back(std::move(path)); }

    std::optional<std::string> ShowOpen(const std::string& filter,
                                        const std::string& file_name) override {
        return Next(false, filter, file_name);
    }
    std::optional<std::string> ShowSave(const std::string& filter,
                                        const std::string& file_name) override {
        return Next(true, filter, file_name);
    }
    void ShowMessage(const std::string& title, const std::string& text,
                     MessageIcon icon) override {
        messages.push_back({title, text, icon});
    }
    bool AskYesNo(const std::string& title, const std::string& text) override {
        questions.push_back({title, text, MessageIcon::None});
        if (yes_no_answers.empty()) return false;
        const bool yes = yes_no_answers.front();
        yes_no_answers.pop_front();
        return yes;
    }

private:
    std::optional<std::string> Next(bool save, const std::string& filter,
                                     const std::string& file_name) {
        requests.push_back({save, filter, file_name});
        if (answers.empty()) return std::nullopt;
        std::optional<std::string> answer = std::move(answers.front());
        answers.pop_front();
        return answer;
    }
};

// Writes `bytes` to `path`, creating folders.
void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

// A 24-bit Windows bitmap of `size` × `size` pixels in one colour.
void WriteBitmap(const std::filesystem::path& path, QColor color, int size = 8);

// The bytes of a model of one quad mesh (extent 1 before scaling by `scale`) using the
// texture names given, slot j of the mesh using texture j.
std::vector<uint8_t> QuadModel(const std::vector<std::string>& textures, float scale = 1.0f);

// A scratch folder holding the settings file "dovekit.ini" pointing at its data folder
// "data" (with "data/texture"), for one main window.
class GuiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::filesystem::path Root() const { return root_.path().toStdString(); }
    std::filesystem::path Data() const { return Root() / "data"; }
    std::filesystem::path Texture(const std::string& name) const { return Data() / "texture" / name; }

    // Makes the main window (shown), with the dialogs of this test.
    MainWindow& Window();
    // Opens `path` through File, Open (the dialog answers it).
    void Open(const std::filesystem::path& path);
    // Runs `n` frames of the loop directly.
    void Frames(int n);

    QTemporaryDir root_;
    ScriptedDialogs dialogs_;
    std::unique_ptr<MainWindow> window_;
    int end_program_code_ = -1;
    std::string standby_folder_;  // empty: the stand-by bitmap beside the test program
};

// The fraction of the pixels of `image` inside `rect` that are pure blue.
double BlueShare(const QImage& image, QRect rect);

}  // namespace plovant::testing
