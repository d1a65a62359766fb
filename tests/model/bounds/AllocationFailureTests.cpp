// Allocation failure at every point of an activation: the N-th allocation
// throws std::bad_alloc, for N = 1, 2, 3, ... until an activation needs no
// more. Each must end cleanly: result 0, status 2 (OpenFailed), nothing
// left on the heap, and no geometry sent (the output allocates all it needs
// before its first host call).
#include "BoundsSupport.h"

namespace {

// Returns how many allocations the whole activation made.
int64_t FailEachAllocationInTurn(const std::string& text, const PanelBehaviour& panel) {
    for (int64_t n = 1;; ++n) {
        CheckedLoad load;
        load.panel = panel;
        load.checks.openFailureAllowed = true; // checked below against the failure
        const size_t before = HeapCurrent();
        HeapFailAllocation(n);
        const int32_t result = RunChecked(load, text);
        const bool failed = HeapAttempts() >= n;
        HeapFailAllocation(0);
        const int32_t status = load.outcome.status;
        EXPECT_EQ(load.checks.errorCount, 0)
            << "failing allocation " << n << ": " << load.checks.firstErrors;
        EXPECT_EQ(HeapCurrent(), before) << "failing allocation " << n;
        EXPECT_EQ(result, kActivateHandled);
        if (!failed) {
            EXPECT_EQ(status, kImportLoaded);
            return n - 1;
        }
        EXPECT_EQ(status, kImportOpenFailed) << "failing allocation " << n;
        EXPECT_EQ(load.checks.geometryCalls, 0) << "failing allocation " << n;
        if (n > 100000) {
            ADD_FAILURE() << "activation never completes";
            return n;
        }
    }
}

TEST(AllocationFailure, EveryAllocationOfAnExampleActivationMayFail) {
    for (const char* name : kExamples) {
        SCOPED_TRACE(name);
        const std::string text = ReadExample(name);
        const int64_t allocations = FailEachAllocationInTurn(text, PanelBehaviour{});
        // Under the sanitizers only operator new is counted (the tables grow
        // with realloc), so fewer allocations are seen there.
        EXPECT_GT(allocations, HeapCountsMalloc() ? 5 : 2);
    }
}

TEST(AllocationFailure, PanelEditsAndLongNamesChangeNothing) {
    PanelBehaviour panel;
    panel.edits.name = "a-name-far-longer-than-any-surface-name-the-host-expects";
    panel.edits.loadTarget = 0;
    FailEachAllocationInTurn(ReadExample("freelines.rk4"), panel);
    panel.noPanel = true;
    FailEachAllocationInTurn(ReadExample("cube.rk4"), panel);
}

} // namespace
