// The live failure points: counts the calls of the planned operation and fails its N-th.
// Compiled only into the test-only variant of the file services (PLC_FAULT_POINTS).
#include "fault_points.h"
#include "output_steps.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform {

namespace {

enum class FaultAction { Fail, Kill, Interrupt };

struct FaultPlan {
    bool armed = false;
    FaultOp op = FaultOp::Open;
    unsigned long target = 0;
    unsigned long calls = 0;
    const char* mark = nullptr;
    FaultAction action = FaultAction::Fail;
};

const struct {
    const char* name;
    FaultOp op;
} OperationNames[] = {
    {"open", FaultOp::Open},     {"read", FaultOp::Read},   {"create", FaultOp::Create},
    {"write", FaultOp::Write},   {"close", FaultOp::Close}, {"map", FaultOp::Map},
    {"rename", FaultOp::Rename},
};

FaultPlan readPlan() {
    FaultPlan plan;
    const char* text = std::getenv("PLC_FAULT");
    if (text == nullptr)
        return plan;
    const char* colon = std::strchr(text, ':');
    if (colon == nullptr)
        return plan;
    const std::size_t nameLength = static_cast<std::size_t>(colon - text);
    for (const auto& entry : OperationNames) {
        if (std::strlen(entry.name) == nameLength &&
            std::strncmp(entry.name, text, nameLength) == 0) {
            char* end = nullptr;
            plan.target = std::strtoul(colon + 1, &end, 10);
            plan.op = entry.op;
            plan.armed = plan.target > 0 && end != colon + 1 && *end == '\0';
        }
    }
    plan.mark = std::getenv("PLC_FAULT_MARK");
    if (const char* action = std::getenv("PLC_FAULT_ACTION")) {
        if (std::strcmp(action, "kill") == 0)
            plan.action = FaultAction::Kill;
        else if (std::strcmp(action, "interrupt") == 0)
            plan.action = FaultAction::Interrupt;
    }
    return plan;
}

} // namespace

bool faultNow(FaultOp op) {
    static FaultPlan plan = readPlan();
    if (!plan.armed || op != plan.op || ++plan.calls != plan.target)
        return false;
    if (plan.mark != nullptr && plan.mark[0] != '\0') {
        if (std::FILE* mark = std::fopen(plan.mark, "w"))
            std::fclose(mark);
    }
    if (plan.action == FaultAction::Kill) {
        std::_Exit(137); // no handler, no cleanup: what an uncatchable kill leaves
    }
    if (plan.action == FaultAction::Interrupt) {
        std::fflush(stdout);
        steps::interruptProcess();
        return false; // an interruption held back until later: the call itself goes on
    }
    return true;
}

} // namespace platform
