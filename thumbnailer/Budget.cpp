#include "thumbnailer/Budget.h"

#include <cerrno>
#include <cstring>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// Lowers the soft limit `resource` to `value` (the hard limit to `hard`),
// keeping any lower limit in force.
bool Lower(int resource, rlim_t value, rlim_t hard, std::string& error) {
    rlimit limit{};
    if (getrlimit(resource, &limit) != 0) {
        error = std::strerror(errno);
        return false;
    }
    if (limit.rlim_max == RLIM_INFINITY || limit.rlim_max > hard)
        limit.rlim_max = hard;
    if (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur > value)
        limit.rlim_cur = value;
    if (limit.rlim_cur > limit.rlim_max)
        limit.rlim_cur = limit.rlim_max;
    if (setrlimit(resource, &limit) != 0) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace

bool ApplyBudget(const Budget& budget, std::string& error) {
    // The processor limit's hard value a second later: SIGXCPU ends the
    // process at the soft one, SIGKILL at the hard one should it be caught.
    if (!Lower(RLIMIT_CORE, 0, 0, error) ||
        !Lower(RLIMIT_AS, budget.addressSpace, budget.addressSpace, error) ||
        !Lower(RLIMIT_CPU, budget.processorSeconds, budget.processorSeconds + 1, error))
        return false;
    alarm(budget.wallSeconds);
    return true;
}
