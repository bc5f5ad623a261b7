#pragma once
// In-memory instance guard, service query and font list for start-up tests.
#include <deque>
#include <set>
#include <string>
#include <vector>

#include "app/FontRegistry.h"
#include "platform/InstanceGuard.h"
#include "platform/ServiceControl.h"

namespace vx::test {

class FakeInstanceGuard : public platform::InstanceGuard {
public:
    Result Acquire() override { return result; }
    bool SendToRunningCopy(const std::string& request) override {
        sent.push_back(request);
        return true;
    }
    void OnRequest(std::function<void(const std::string&)>) override {}
    void Poll() override {}

    Result result = Result::Acquired;
    std::vector<std::string> sent;
};

class FakeServiceControl : public platform::ServiceControl {
public:
    State Query(const std::string& name) const override {
        queried.push_back(name);
        return state;
    }
    /// Answers from `polls` in order, then with `state`; each look is recorded.
    Status QueryStatus(const std::string& name) const override {
        queried.push_back(name);
        if (polls.empty()) return {true, state, false, std::chrono::milliseconds(100)};
        const Status next = polls.front();
        polls.pop_front();
        return next;
    }
    bool Start(const std::string& name) override {
        requests.push_back("start " + name);
        return accept;
    }
    bool Stop(const std::string& name) override {
        requests.push_back("stop " + name);
        return accept;
    }
    State state = State::NotInstalled;
    bool accept = true;
    mutable std::deque<Status> polls;
    mutable std::vector<std::string> queried;
    std::vector<std::string> requests;
};

class FakeFontRegistry : public app::FontRegistry {
public:
    bool HasFamily(const std::string& family) const override { return families.count(family) > 0; }
    std::vector<std::string> AddFontFile(const std::filesystem::path& file) override {
        added.push_back(file.filename().string());
        if (failAdds) return {};
        return {"Bundled " + file.stem().string()};
    }
    std::set<std::string> families;
    std::vector<std::string> added;
    bool failAdds = false;
};

}  // namespace vx::test
