// ordplan: writes ordplan.prn, the evaluation of every order of the jobs in ordplan.txt.
// Exit code 0 after a complete run; 1 after a failure, with its message on standard error.
#include <memory>
#include <new>

#include "platform.h"
#include "run.h"

int main() {
  ordplan::SystemServices system = ordplan::OpenSystemServices();
  std::unique_ptr<ordplan::RunState> run;
  auto fail = [&](const ordplan::RunFailure& failure) {
    if (run) run->ReportFile.Abandon();
    system.Host->WriteStandardError(
        ordplan::FailureText(failure, system.Host->ExecutableName(), system.Host->ImageBase()));
    return 1;
  };
  try {
    run = std::make_unique<ordplan::RunState>(*system.Files, *system.Text);
    ordplan::Run(*run);
    return 0;
  } catch (const ordplan::RunFailure& failure) {
    return fail(failure);
  } catch (const std::bad_alloc&) {
    return fail(ordplan::RunFailure("EOutOfMemory", "Out of memory", system.Host->ImageBase()));
  }
}
