// The live failure points: counts the calls of the planned operations and fails the planned
// ones. Compiled only into the test-only variant of the file services (PLC_FAULT_POINTS).
#include "fault_points.h"
#include "output_steps.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform {

namespace {

enum class FaultAction { Fail, Kill, Interrupt };

struct PlannedCall {
    FaultOp op = FaultOp::Open;
    unsigned long target = 0;
    FaultAction action = FaultAction::Fail;
    bool reached = false;
};

constexpr int MaxPlannedCalls = 2;

struct FaultPlan {
    PlannedCall calls[MaxPlannedCalls];
    int count = 0;
    unsigned long made[8] = {}; // calls so far, by operation
    const char* mark = nullptr;
    const char* fileSystem = "";
};

const struct {
    const char* name;
    FaultOp op;
} OperationNames[] = {
    {"open", FaultOp::Open},     {"read", FaultOp::Read},     {"create", FaultOp::Create},
    {"write", FaultOp::Write},   {"close", FaultOp::Close},   {"map", FaultOp::Map},
    {"rename", FaultOp::Rename}, {"remove", FaultOp::Remove},
};

FaultAction actionNamed(const char* text, std::size_t length, FaultAction otherwise) {
    if (length == 4 && std::strncmp(text, "fail", 4) == 0)
        return FaultAction::Fail;
    if (length == 4 && std::strncmp(text, "kill", 4) == 0)
        return FaultAction::Kill;
    if (length == 9 && std::strncmp(text, "interrupt", 9) == 0)
        return FaultAction::Interrupt;
    return otherwise;
}

// One "OPERATION:N[:ACTION]" of the plan, `length` characters at `text`.
bool readPlannedCall(const char* text, std::size_t length, FaultAction action, PlannedCall& call) {
    const char* colon = static_cast<const char*>(std::memchr(text, ':', length));
    if (colon == nullptr)
        return false;
    const std::size_t nameLength = static_cast<std::size_t>(colon - text);
    for (const auto& entry : OperationNames) {
        if (std::strlen(entry.name) != nameLength || std::strncmp(entry.name, text, nameLength))
            continue;
        char* number = nullptr;
        call.op = entry.op;
        call.target = std::strtoul(colon + 1, &number, 10);
        call.action = action;
        const char* end = number;
        const char* stop = text + length;
        if (end < stop && *end == ':') {
            call.action = actionNamed(end + 1, static_cast<std::size_t>(stop - end - 1), action);
            end = stop;
        }
        return call.target > 0 && end != colon + 1 && end == stop;
    }
    return false;
}

FaultPlan readPlan() {
    FaultPlan plan;
    FaultAction action = FaultAction::Fail;
    if (const char* text = std::getenv("PLC_FAULT_ACTION"))
        action = actionNamed(text, std::strlen(text), FaultAction::Fail);
    if (const char* system = std::getenv("PLC_FAULT_FILE_SYSTEM"))
        plan.fileSystem = system;
    plan.mark = std::getenv("PLC_FAULT_MARK");
    const char* text = std::getenv("PLC_FAULT");
    while (text != nullptr && *text != '\0' && plan.count < MaxPlannedCalls) {
        const char* comma = std::strchr(text, ',');
        const std::size_t length =
            comma ? static_cast<std::size_t>(comma - text) : std::strlen(text);
        if (!readPlannedCall(text, length, action, plan.calls[plan.count])) {
            plan.count = 0; // a plan not understood fails nothing
            break;
        }
        ++plan.count;
        text = comma ? comma + 1 : nullptr;
    }
    return plan;
}

FaultPlan& thePlan() {
    static FaultPlan plan = readPlan();
    return plan;
}

} // namespace

bool faultNow(FaultOp op) {
    FaultPlan& plan = thePlan();
    if (plan.count == 0)
        return false;
    const unsigned long made = ++plan.made[static_cast<int>(op)];
    PlannedCall* call = nullptr;
    int reached = 0;
    for (int i = 0; i < plan.count; ++i) {
        if (plan.calls[i].op == op && plan.calls[i].target == made) {
            plan.calls[i].reached = true;
            call = &plan.calls[i];
        }
        reached += plan.calls[i].reached ? 1 : 0;
    }
    if (call == nullptr)
        return false;
    if (reached == plan.count && plan.mark != nullptr && plan.mark[0] != '\0') {
        if (std::FILE* mark = std::fopen(plan.mark, "w"))
            std::fclose(mark);
    }
    if (call->action == FaultAction::Kill) {
        std::_Exit(137); // no handler, no cleanup: what an uncatchable kill leaves
    }
    if (call->action == FaultAction::Interrupt) {
        std::fflush(stdout);
        steps::interruptProcess();
        return false; // an interruption held back until later: the call itself goes on
    }
    return true;
}

bool exchangeRefused() {
    const char* system = thePlan().fileSystem;
    return std::strcmp(system, "links") == 0 || std::strcmp(system, "fat") == 0;
}

bool hardLinkRefused() {
    return std::strcmp(thePlan().fileSystem, "fat") == 0;
}

} // namespace platform
