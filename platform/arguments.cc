#include "platform/arguments.h"

namespace tillgate {

ProgramArguments::ProgramArguments(int argc, char** argv)
    : values_(CommandLineArguments(argc, argv)) {
  for (std::string& value : values_) pointers_.push_back(value.data());
  pointers_.push_back(nullptr);
}

}  // namespace tillgate
