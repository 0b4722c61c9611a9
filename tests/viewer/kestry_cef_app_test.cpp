// The application object: its switches, its render-process handlers, and the reference
// counting every engine object of the program shares.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "KestryCefApp.h"
#include "KestryCefHandler.h"
#include "MainFrm.h"

namespace {

using Switches = std::vector<std::pair<std::string, std::string>>;

Switches SwitchesAfterProcessing(const char* processType) {
    CefRefPtr<CKestryCefApp> app = new CKestryCefApp;
    CefRefPtr<CefCommandLine> commandLine = CefCommandLine::CreateCommandLine();
    app->OnBeforeCommandLineProcessing(processType, commandLine);
    Switches result;
    for (const auto& [name, value] : commandLine->GetSwitchList())
        result.emplace_back(name.ToString(), value.ToString());
    return result;
}

TEST(KestryCefAppTest, EveryProcessTypeGetsTheEightSwitchesInOrder) {
    const Switches expected = {
        {"autoplay-policy", "no-user-gesture-required"},
        {"ppapi-flash-version", "32.0.0.371"},
        {"disable-web-security", "true"},
        {"allow-running-insecure-content", ""},
        {"ignore-certificate-errors", ""},
        {"disable-gpu-memory-buffer-compositor-resources", ""},
        {"disable-gpu-memory-buffer-video-frames", ""},
        {"disable-gpu-program-cache", ""},
    };
    EXPECT_EQ(SwitchesAfterProcessing(""), expected);
    EXPECT_EQ(SwitchesAfterProcessing("renderer"), expected);
}

TEST(KestryCefAppTest, EachRenderHandlerRequestGivesANewObject) {
    CefRefPtr<CKestryCefApp> app = new CKestryCefApp;
    CefRefPtr<CefRenderProcessHandler> first = app->GetRenderProcessHandler();
    CefRefPtr<CefRenderProcessHandler> second = app->GetRenderProcessHandler();
    ASSERT_TRUE(first && second);
    EXPECT_NE(first.get(), second.get());
    EXPECT_TRUE(first->HasOneRef());
}

// Each class with an observable destructor.
template <class Base, class... Args>
class Tracked : public Base {
  public:
    explicit Tracked(bool* destroyed, Args... args) : Base(args...), destroyed_(destroyed) {}
    ~Tracked() override { *destroyed_ = true; }

  private:
    bool* destroyed_;
};

template <class T, class... Args>
void ExpectReleaseDestroysAtOneAndNotAtTwo(Args... args) {
    bool destroyed = false;
    auto* object = new Tracked<T, Args...>(&destroyed, args...);
    object->AddRef();
    object->AddRef();
    EXPECT_FALSE(object->Release());
    EXPECT_FALSE(destroyed);
    EXPECT_TRUE(object->HasOneRef());
    EXPECT_TRUE(object->Release());
    EXPECT_TRUE(destroyed);
}

TEST(ReferenceCountingTest, ReleaseDestroysAtOneAndNotAtTwo) {
    ExpectReleaseDestroysAtOneAndNotAtTwo<CKestryCefApp>();
    ExpectReleaseDestroysAtOneAndNotAtTwo<CKestryCefHandler>();
    ExpectReleaseDestroysAtOneAndNotAtTwo<CResizeTask>(1, 2);
}

TEST(ResizeTaskTest, DoesNothingWithoutAMainWindow) {
    CefRefPtr<CResizeTask> task = new CResizeTask(10, 20);
    task->Execute();
}

}  // namespace
