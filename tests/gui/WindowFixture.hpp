#pragma once

#include "../server/FormFixture.hpp"

#include "gui/MainWindow.hpp"
#include "gui/QtMainThread.hpp"

#include <QApplication>

#include <cstdlib>

namespace zd::test {

// The Qt application on the offscreen platform, made before the first test
// and destroyed after the last one (while Qt's own globals still live).
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        app_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[9] = "test_gui";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

// gtest owns the environment it is given.
inline ::testing::Environment* const kQtEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// The window on the form of FormFixture, its main-thread work run by the
// Qt event loop.
class WindowFixture : public FormFixture {
protected:
    void SetUp() override
    {
        FormFixture::SetUp();
        driver_ = std::make_unique<gui::QtMainThread>(main_);
        window_ = std::make_unique<gui::MainWindow>(*form_);
    }
    void TearDown() override
    {
        window_.reset();
        driver_.reset();
        FormFixture::TearDown();
    }

    template <class Widget>
    Widget* Find(const char* name) const
    {
        auto* widget = window_->findChild<Widget*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    std::unique_ptr<gui::QtMainThread> driver_;
    std::unique_ptr<gui::MainWindow> window_;
};

} // namespace zd::test
