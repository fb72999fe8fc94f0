#include "command_line.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>

#include "choice_lists.h"
#include "cls_opos.h"
#include "device_catalogue.h"
#include "device_kinds.h"
#include "device_test.h"
#include "inf_file.h"
#include "mod_regedit.h"
#include "mod_setup.h"
#include "platform/registry.h"
#include "platform/release.h"

namespace confix {

namespace reg = platform::registry;

namespace {

constexpr const char* kServiceOposKey = "HKEY_LOCAL_MACHINE\\Software\\OLEforRetail\\ServiceOPOS";

constexpr const char* kHelp = R"(Usage: Confix                          open the setup window
       Confix [--registry FILE] VERB ARGUMENTS...
       Confix --help | --version

Device classes are POSPrinter and CashDrawer; KEY is a device name key (ThermalS, ThermalS_2).
Verbs:
  classes                              list the device classes and their entry counts
  list [CLASS]                         list the entries: class, key, device name, description, LDNs
  ldns [CLASS]                         list the logical device names and the keys they point at
  types                                list the device names the device information files offer
  add DEVICENAME [--inf FILE]          add an entry for DEVICENAME (ThermalS, StandardN...) from
                                       its device information file; prints the new key
  remove CLASS KEY                     remove the entry and its logical device names
  rename-key CLASS KEY NEWKEY          rename the entry's key; its logical device names follow
  add-ldn CLASS KEY LDN                add a logical device name for the entry
  remove-ldn CLASS LDN                 remove a logical device name
  rename-ldn CLASS KEY LDN NEWLDN      rename a logical device name of the entry
  show CLASS KEY                       show every value of the entry
  set CLASS KEY NAME=VALUE...          change values of the entry (Port=COM2 Baudrate=7 ...)
  test CLASS KEY                       print the test page (printer) or open the drawer
  import FILE                          merge a REGEDIT4 file into the registry store
  export [FILE]                        write the device entries as REGEDIT4 text (to standard
                                       output without FILE)

The registry store is $OPOS_REGISTRY or the machine's; --registry FILE names another.
)";

struct Context {
  const std::vector<std::string>& args;  // after the verb
  const std::string& inf_dir;
  std::ostream& out;
  std::ostream& err;
};

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return std::tolower(x) == std::tolower(y); });
}

// "posprinter" and "POSPrinter" both name the printer class; empty for anything else.
std::string ClassName(const std::string& text) {
  for (const char* name : {kPosPrinterClass, kCashDrawerClass}) {
    if (SameIgnoringCase(text, name)) return name;
  }
  return {};
}

std::vector<std::string> ClassesFrom(const Context& c, size_t at, bool& ok) {
  ok = true;
  if (c.args.size() <= at) return {kPosPrinterClass, kCashDrawerClass};
  std::string name = ClassName(c.args[at]);
  if (name.empty()) {
    c.err << "Confix: unknown device class '" << c.args[at] << "' (POSPrinter or CashDrawer)\n";
    ok = false;
    return {};
  }
  return {name};
}

// At least `count` arguments and, unless `most` is kUnbounded, at most `most`.
constexpr size_t kUnbounded = static_cast<size_t>(-1);
bool NeedArgs(const Context& c, size_t count, const char* usage, size_t most) {
  if (c.args.size() >= count && c.args.size() <= most) return true;
  c.err << "Confix: usage: Confix " << usage << "\n";
  return false;
}
bool NeedArgs(const Context& c, size_t count, const char* usage) {
  return NeedArgs(c, count, usage, count);
}

// A store that cannot be read must not look empty.
bool StoreFailed(const Context& c, reg::Status status) {
  if (status == reg::kSuccess) return false;
  c.err << "Confix: cannot read the device entries: " << reg::LastErrorMessage() << "\n";
  return true;
}

// The store opens and is a registry database; otherwise a message and false.
bool StoreReadable(const Context& c) {
  reg::Key root;
  return !StoreFailed(c, reg::Key::Open(reg::Root::LocalMachine, "", reg::Access::Read, root));
}

// Loads CLASS KEY from the first two arguments; false with a message when there is no
// such entry.
bool LoadEntry(const Context& c, clsOPOS& device) {
  std::string device_class = ClassName(c.args[0]);
  if (device_class.empty()) {
    c.err << "Confix: unknown device class '" << c.args[0] << "' (POSPrinter or CashDrawer)\n";
    return false;
  }
  const std::string path = ClassKeyPath(device_class) + "\\" + c.args[1];
  if (!IsValidKeyName(c.args[1]) || modRegedit::RegKeyStatus(path) != reg::kSuccess) {
    c.err << "Confix: no device entry '" << c.args[1] << "' under " << device_class << "\n";
    return false;
  }
  // The key as it is written in the store, so that LDN data compares exactly.
  std::string key_name = c.args[1];
  for (const std::string& name : modRegedit::RegEnumSubKeys(ClassKeyPath(device_class))) {
    if (SameIgnoringCase(name, key_name)) key_name = name;
  }
  device.Load(device_class, key_name);
  return true;
}

int Refused(const Context& c, const clsOPOS& device) {
  c.err << "Confix: " << device.LastErrorText() << "\n";
  return 1;
}

int Classes(const Context& c) {
  if (!NeedArgs(c, 0, "classes")) return 2;
  for (const char* name : {kPosPrinterClass, kCashDrawerClass}) {
    reg::Status status;
    size_t count = modRegedit::RegEnumSubKeys(ClassKeyPath(name), &status).size();
    if (StoreFailed(c, status)) return 1;
    c.out << name << "  " << count << " entries\n";
  }
  return 0;
}

int List(const Context& c) {
  if (!NeedArgs(c, 0, "list [CLASS]", 1)) return 2;
  bool ok;
  for (const std::string& device_class : ClassesFrom(c, 0, ok)) {
    reg::Status status;
    const std::vector<std::string> keys =
        modRegedit::RegEnumSubKeys(ClassKeyPath(device_class), &status);
    if (StoreFailed(c, status)) return 1;
    for (const std::string& key : keys) {
      clsOPOS device;
      device.Load(device_class, key);
      std::string ldns;
      for (const std::string& ldn : device.OwnLDNs()) ldns += (ldns.empty() ? "" : ",") + ldn;
      if (device.LastError() != EntryError::None) return Refused(c, device);
      c.out << device_class << "  " << key << "  " << device.mstrDeviceName << "  \""
            << device.mstrDeviceDesc << "\"  LDN: " << (ldns.empty() ? "-" : ldns)
            << (IsRecognisedDeviceName(device.mstrDeviceName) ? "" : "  (not of this kit)")
            << "\n";
    }
  }
  return ok ? 0 : 2;
}

int Ldns(const Context& c) {
  if (!NeedArgs(c, 0, "ldns [CLASS]", 1)) return 2;
  bool ok;
  for (const std::string& device_class : ClassesFrom(c, 0, ok)) {
    clsOPOS device;
    device.mstrDeviceClass = device_class;
    std::vector<std::string> names, values;
    device.GetLDN(names, values);
    if (device.LastError() != EntryError::None) return Refused(c, device);
    for (size_t i = 0; i < names.size(); ++i) {
      c.out << device_class << "  " << names[i] << " -> " << values[i] << "\n";
    }
  }
  return ok ? 0 : 2;
}

int Types(const Context& c) {
  if (!NeedArgs(c, 0, "types")) return 2;
  for (const std::string& name : InfFilesIn(c.inf_dir)) {
    const std::string path = c.inf_dir + "/" + name;
    std::string type = InfTypeName(path);
    if (type.empty()) continue;
    c.out << type << "  (" << name << "):";
    int count = std::clamp<int32_t>(VariantCount(path), 0, 4);
    for (int k = 0; k < count; ++k) c.out << " " << VariantDeviceName(path, k);
    c.out << "\n";
  }
  return 0;
}

int Add(const Context& c) {
  const bool with_file = c.args.size() == 3 && c.args[1] == "--inf";
  if (!with_file && !NeedArgs(c, 1, "add DEVICENAME [--inf FILE]")) return 2;
  const std::string& device_name = c.args[0];
  std::string file;
  if (c.args.size() == 3) {
    file = c.args[2];
  } else {
    file = FindInfFor(c.inf_dir, device_name);
    if (file.empty()) {
      c.err << "Confix: no device information file in " << c.inf_dir << " describes "
            << device_name << "\n";
      return 1;
    }
  }
  clsOPOS device;
  if (!device.Read(file, device_name)) return Refused(c, device);
  c.out << device.mstrDeviceClass << "\\" << device.mstrKeyName << "\n";
  return 0;
}

int Remove(const Context& c) {
  if (!NeedArgs(c, 2, "remove CLASS KEY")) return 2;
  clsOPOS device;
  if (!LoadEntry(c, device)) return 1;
  std::string key = device.mstrKeyName;
  if (!device.Remove()) return Refused(c, device);
  c.out << "removed " << key << "\n";
  return 0;
}

int RenameKey(const Context& c) {
  if (!NeedArgs(c, 3, "rename-key CLASS KEY NEWKEY")) return 2;
  clsOPOS device;
  if (!LoadEntry(c, device)) return 1;
  if (device.mstrKeyName == c.args[2]) {
    c.err << "Confix: the new device name key is the current one\n";
    return 1;
  }
  if (!device.RenameKey(c.args[2])) return Refused(c, device);
  c.out << device.mstrDeviceClass << "\\" << device.mstrKeyName << "\n";
  return 0;
}

int AddLdn(const Context& c) {
  if (!NeedArgs(c, 3, "add-ldn CLASS KEY LDN")) return 2;
  clsOPOS device;
  if (!LoadEntry(c, device)) return 1;
  if (!device.AddLDN(c.args[2])) return Refused(c, device);
  c.out << c.args[2] << " -> " << device.mstrKeyName << "\n";
  return 0;
}

int RemoveLdn(const Context& c) {
  if (!NeedArgs(c, 2, "remove-ldn CLASS LDN")) return 2;
  clsOPOS device;
  device.mstrDeviceClass = ClassName(c.args[0]);
  std::vector<std::string> names, values;
  device.GetLDN(names, values);
  if (device.LastError() != EntryError::None) return Refused(c, device);
  if (device.mstrDeviceClass.empty() ||
      std::find(names.begin(), names.end(), c.args[1]) == names.end()) {
    c.err << "Confix: no logical device name '" << c.args[1] << "' under " << c.args[0] << "\n";
    return 1;
  }
  if (!device.RemoveLDN(c.args[1])) return Refused(c, device);
  c.out << "removed " << c.args[1] << "\n";
  return 0;
}

int RenameLdn(const Context& c) {
  if (!NeedArgs(c, 4, "rename-ldn CLASS KEY LDN NEWLDN")) return 2;
  clsOPOS device;
  if (!LoadEntry(c, device)) return 1;
  std::vector<std::string> own = device.OwnLDNs();
  if (device.LastError() != EntryError::None) return Refused(c, device);
  if (std::find(own.begin(), own.end(), c.args[2]) == own.end()) {
    c.err << "Confix: '" << c.args[2] << "' is not a logical device name of " << device.mstrKeyName
          << "\n";
    return 1;
  }
  if (!device.RenameLDN(c.args[2], c.args[3])) return Refused(c, device);
  c.out << c.args[3] << " -> " << device.mstrKeyName << "\n";
  return 0;
}

std::string DisplayName(const modSetup::EntryValue& value) {
  return *value.name ? value.name : "SOName";
}

int Show(const Context& c) {
  if (!NeedArgs(c, 2, "show CLASS KEY")) return 2;
  clsOPOS device;
  if (!LoadEntry(c, device)) return 1;
  c.out << "DeviceClass=" << device.mstrDeviceClass << "\nKeyName=" << device.mstrKeyName << "\n";
  auto print = [&](const modSetup::EntryValue& value) {
    c.out << DisplayName(value) << "=";
    if (value.text) c.out << device.*value.text; else c.out << device.*value.number;
    c.out << "\n";
  };
  for (const modSetup::EntryValue& value : modSetup::CommonValues()) print(value);
  if (device.mstrDeviceClass == kCashDrawerClass) {
    for (const modSetup::EntryValue& value : modSetup::DrawerValues()) print(value);
  }
  std::string ldns;
  for (const std::string& ldn : device.OwnLDNs()) ldns += (ldns.empty() ? "" : ",") + ldn;
  c.out << "LDN=" << ldns << "\n";
  return 0;
}

// Optional sign and decimal digits, nothing else.
bool IsWholeNumber(const std::string& text) {
  size_t at = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
  return at < text.size() &&
         std::all_of(text.begin() + static_cast<std::ptrdiff_t>(at), text.end(),
                     [](char ch) { return ch >= '0' && ch <= '9'; });
}

// The link settings the serial service objects accept; any other code makes their claim
// fail, so it is refused when set.
struct LinkCodes {
  const char* name;
  int32_t low, high;
  const char* list;
  bool Allows(int32_t code) const { return code >= low && code <= high; }
};
const LinkCodes kLinkCodes[] = {
    {"Baudrate", 3, 10,
     "3 = 1200, 4 = 2400, 5 = 4800, 6 = 9600, 7 = 19200, 8 = 38400, 9 = 57600, 10 = 115200 bps"},
    {"BitLength", 0, 1, "0 = 7 bits, 1 = 8 bits"},
    {"Parity", 0, 2, "0 = none, 1 = even, 2 = odd"},
    {"Stop", 1, 2, "1 = one stop bit, 2 = two stop bits"},
};
const LinkCodes* LinkCodesOf(const char* name) {
  for (const LinkCodes& codes : kLinkCodes) {
    if (std::string_view(codes.name) == name) return &codes;
  }
  return nullptr;
}

const modSetup::EntryValue* FindValue(const std::string& name, bool drawer) {
  for (const modSetup::EntryValue& value : modSetup::CommonValues()) {
    if (SameIgnoringCase(DisplayName(value), name)) return &value;
  }
  if (drawer) {
    for (const modSetup::EntryValue& value : modSetup::DrawerValues()) {
      if (SameIgnoringCase(value.name, name)) return &value;
    }
  }
  return nullptr;
}

int Set(const Context& c) {
  if (!NeedArgs(c, 3, "set CLASS KEY NAME=VALUE...", kUnbounded)) return 2;
  clsOPOS device;
  if (!LoadEntry(c, device)) return 1;
  const bool drawer = device.mstrDeviceClass == kCashDrawerClass;
  // Every assignment is checked before anything is written.
  for (size_t i = 2; i < c.args.size(); ++i) {
    const std::string& assignment = c.args[i];
    size_t equals = assignment.find('=');
    const modSetup::EntryValue* value =
        equals == std::string::npos ? nullptr : FindValue(assignment.substr(0, equals), drawer);
    if (!value) {
      c.err << "Confix: '" << assignment << "' does not set a value of a "
            << device.mstrDeviceClass << " entry (see Confix show)\n";
      return 2;
    }
    std::string text = assignment.substr(equals + 1);
    if (value->text) {
      if (text.empty() && SameIgnoringCase(value->name, "Port")) {
        c.err << "Confix: Port must name the port (COM1, /dev/ttyS0, LPT1, USB, or the TCP port "
                 "of a network entry)\n";
        return 2;
      }
      device.*value->text = text;
      continue;
    }
    if (!IsWholeNumber(text)) {
      c.err << "Confix: " << DisplayName(*value) << " takes a number, not '" << text << "'\n";
      return 2;
    }
    const int32_t number = ParseLeadingNumber(text);
    if (const LinkCodes* codes = LinkCodesOf(value->name); codes && !codes->Allows(number)) {
      c.err << "Confix: " << DisplayName(*value) << "=" << text << " is not a code a device can "
            << "use; the codes are " << codes->list << "\n";
      return 2;
    }
    device.*value->number = number;
  }
  if (!device.Save(false)) return Refused(c, device);
  c.out << "saved " << device.mstrKeyName << "\n";
  return 0;
}

int Test(const Context& c) {
  if (!NeedArgs(c, 2, "test CLASS KEY")) return 2;
  clsOPOS device;
  if (!LoadEntry(c, device)) return 1;
  if (!RunDeviceTest(device, IsNetworkEntry(device))) return 1;
  c.out << (device.mstrDeviceClass == kCashDrawerClass ? "drawer opened: " : "test page printed: ")
        << device.mstrKeyName << "\n";
  return 0;
}

int Import(const Context& c) {
  if (!NeedArgs(c, 1, "import FILE")) return 2;
  std::ifstream in(c.args[0], std::ios::binary);
  if (!in) {
    c.err << "Confix: cannot read " << c.args[0] << "\n";
    return 1;
  }
  std::stringstream text;
  text << in.rdbuf();
  std::string error;
  if (reg::ImportRegedit(text.str(), &error) != reg::kSuccess) {
    c.err << "Confix: import of " << c.args[0] << " failed: "
          << (error.empty() ? reg::LastErrorMessage() : error) << "\n";
    return 1;
  }
  c.out << "imported " << c.args[0] << "\n";
  return 0;
}

int Export(const Context& c) {
  if (!NeedArgs(c, 0, "export [FILE]", 1)) return 2;
  std::string text;
  reg::Status status = reg::ExportRegedit(kServiceOposKey, text);
  if (status == reg::kNotFound) {
    text = "REGEDIT4\n\n";
  } else if (status != reg::kSuccess) {
    c.err << "Confix: cannot export the device entries: " << reg::LastErrorMessage() << "\n";
    return 1;
  }
  if (c.args.empty() || c.args[0] == "-") {
    c.out << text;
    return 0;
  }
  std::ofstream file(c.args[0], std::ios::binary | std::ios::trunc);
  if (!(file << text) || !file.flush()) {
    c.err << "Confix: cannot write " << c.args[0] << "\n";
    return 1;
  }
  c.out << "exported to " << c.args[0] << "\n";
  return 0;
}

const std::map<std::string, std::function<int(const Context&)>>& Verbs() {
  static const std::map<std::string, std::function<int(const Context&)>> verbs = {
      {"classes", Classes},     {"list", List},          {"ldns", Ldns},
      {"types", Types},         {"add", Add},            {"remove", Remove},
      {"rename-key", RenameKey}, {"add-ldn", AddLdn},    {"remove-ldn", RemoveLdn},
      {"rename-ldn", RenameLdn}, {"show", Show},         {"set", Set},
      {"test", Test},           {"import", Import},      {"export", Export}};
  return verbs;
}

}  // namespace


int RunCommandLine(const std::vector<std::string>& args, const std::string& inf_dir,
                   std::ostream& out, std::ostream& err) {
  size_t at = 0;
  if (args.size() >= 2 && args[0] == "--registry") {
    reg::UseDatabase(args[1]);
    at = 2;
  }
  if (at >= args.size() || args[at] == "--help" || args[at] == "-h" || args[at] == "help") {
    (at >= args.size() ? err : out) << kHelp;
    return at >= args.size() ? 2 : 0;
  }
  if (args[at] == "--version") {
    out << "Confix " << platform::kReleaseVersion << "\n";
    return 0;
  }
  auto verb = Verbs().find(args[at]);
  if (verb == Verbs().end()) {
    err << "Confix: unknown verb '" << args[at] << "' (Confix --help lists them)\n";
    return 2;
  }
  std::vector<std::string> rest(args.begin() + static_cast<std::ptrdiff_t>(at) + 1, args.end());
  const Context context{rest, inf_dir, out, err};
  // "types" reads only the device information files.
  if (args[at] != "types" && !StoreReadable(context)) return 1;
  return verb->second(context);
}

}  // namespace confix
