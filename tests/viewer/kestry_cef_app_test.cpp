// The application object: its switches, its render-process handlers, and the reference
// counting every engine object of the program shares.
#include <gtest/gtest.h>

#include <iterator>
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

// The switches as the application object is to append them: number, call, switch, and the
// value ("none" for a switch appended without one), listed here by switch name.
struct SpecifiedSwitch {
    int number;
    const char* call;
    const char* name;
    const char* value;
};
constexpr SpecifiedSwitch kSpecifiedSwitches[] = {
    {4, "AppendSwitch", "allow-running-insecure-content", "none"},
    {1, "AppendSwitchWithValue", "autoplay-policy", "no-user-gesture-required"},
    {6, "AppendSwitch", "disable-gpu-memory-buffer-compositor-resources", "none"},
    {7, "AppendSwitch", "disable-gpu-memory-buffer-video-frames", "none"},
    {8, "AppendSwitch", "disable-gpu-program-cache", "none"},
    {3, "AppendSwitchWithValue", "disable-web-security", "true"},
    {5, "AppendSwitch", "ignore-certificate-errors", "none"},
    {2, "AppendSwitchWithValue", "ppapi-flash-version", "32.0.0.371"},
};

// In the order of their numbers; a switch appended without a value reads back empty, one
// appended with a value reads back that value.
Switches ExpectedSwitches() {
    Switches expected(std::size(kSpecifiedSwitches));
    for (const SpecifiedSwitch& s : kSpecifiedSwitches) {
        const bool withValue = std::string(s.call) == "AppendSwitchWithValue";
        EXPECT_EQ(withValue, std::string(s.value) != "none") << s.name;
        expected.at(static_cast<std::size_t>(s.number - 1)) = {s.name, withValue ? s.value : ""};
    }
    return expected;
}

TEST(KestryCefAppTest, EveryProcessTypeGetsTheEightSwitchesInOrder) {
    const Switches expected = ExpectedSwitches();
    for (const auto& [name, value] : expected)
        ASSERT_FALSE(name.empty()) << "two switches with one number";
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

}  // namespace
