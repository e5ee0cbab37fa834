// ordplan: writes ordplan.prn, the evaluation of every order of the jobs in ordplan.txt.
// Exit code 0 after a complete run; 1 after a failure, with its message on standard error.
#include "platform.h"
#include "run.h"

int main() {
  ordplan::SystemServices system = ordplan::OpenSystemServices();
  auto run = std::make_unique<ordplan::RunState>(*system.Files, *system.Text);
  try {
    ordplan::Run(*run);
    return 0;
  } catch (const ordplan::RunFailure& failure) {
    run->ReportFile.Abandon();
    system.Host->WriteStandardError(
        ordplan::FailureText(failure, system.Host->ExecutableName(), system.Host->ImageBase()));
    return 1;
  }
}
