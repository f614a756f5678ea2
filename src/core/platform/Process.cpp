#include "Process.h"

namespace khub {

namespace {

class SystemProcessImpl : public Process {
  public:
    bool Spawn(const std::string& program, const std::vector<std::string>& argv,
               const std::string& workingDir, std::string* error) override {
        if (program.empty()) {
            if (error) *error = "no program path";
            return false;
        }
        return SpawnDetached(program, argv, workingDir, error);
    }
};

}  // namespace

Process& SystemProcess() {
    static SystemProcessImpl process;
    return process;
}

}  // namespace khub
