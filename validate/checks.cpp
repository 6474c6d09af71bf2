#include "validate/check.h"

namespace quillo::validate {

std::vector<Check> allChecks(const Options&) {
    std::vector<Check> checks;
    addLifecycleChecks(checks);
    addRecordChecks(checks);
    addOpcodeCheck(checks);
    addParameterChecks(checks);
    addProcessingChecks(checks);
    addRealtimeChecks(checks);
    return checks;
}

} // namespace quillo::validate
