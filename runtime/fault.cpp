// fault.cpp -- rules of the fault-injection seam.
#include "fault.h"

#include <atomic>
#include <mutex>
#include <vector>

namespace tarnwick::fault {
namespace {

struct State {
    std::mutex mutex;
    std::vector<Rule> rules;
    int given = 0;
};

State& state()
{
    static State s;
    return s;
}

std::atomic<bool> armed{false};

}  // namespace

void Arm(const Rule& rule)
{
    std::lock_guard lock(state().mutex);
    state().rules.push_back(rule);
    armed.store(true, std::memory_order_relaxed);
}

void Reset()
{
    std::lock_guard lock(state().mutex);
    state().rules.clear();
    state().given = 0;
    armed.store(false, std::memory_order_relaxed);
}

int FailuresGiven()
{
    std::lock_guard lock(state().mutex);
    return state().given;
}

int Check(Op op, const std::string& path)
{
    if (!armed.load(std::memory_order_relaxed))
        return 0;
    std::lock_guard lock(state().mutex);
    for (Rule& rule : state().rules) {
        if (rule.op != op || rule.times == 0)
            continue;
        if (!rule.pathContains.empty() && path.find(rule.pathContains) == std::string::npos)
            continue;
        if (rule.skip > 0) {
            --rule.skip;
            continue;
        }
        if (rule.times > 0)
            --rule.times;
        ++state().given;
        return rule.errnoValue;
    }
    return 0;
}

}  // namespace tarnwick::fault
