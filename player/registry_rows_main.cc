// tunewell_registry_rows: prints the registration table, one entry a line, tab-separated:
//   root  key  value-name  type  value
// (root HKCR or HKLM; an empty value name is the key's default value; type REG_SZ, whose value
// may hold [ModulePath] and [ModuleFile], or REG_DWORD in decimal), then one line per key the
// entries own:
//   owns  root  key
// For the installer's generator; a build tool, never installed.

#include <cstdio>
#include <string>

#include "player/registration_table.h"

int main() {
  using namespace tunewell::registration;
  std::string out;
  for (const Entry& entry : Entries()) {
    out.append(RootName(entry.root)).append("\t").append(entry.key).append("\t");
    out.append(entry.name).append("\t");
    if (entry.type == Entry::Type::kNumber) {
      out.append("REG_DWORD\t").append(std::to_string(entry.number));
    } else {
      out.append("REG_SZ\t").append(entry.text);
    }
    out.append("\n");
  }
  for (const OwnedKey& key : OwnedKeys()) {
    out.append("owns\t").append(RootName(key.root)).append("\t").append(key.key).append("\n");
  }
  return std::fputs(out.c_str(), stdout) < 0 ? 1 : 0;
}
