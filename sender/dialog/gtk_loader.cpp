// The dialog's life on Linux: whether a display may be at hand, then the GTK module, opened and run.
#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "platform/system.h"
#include "sender/address.h"
#include "sender/dialog/dialog.h"
#include "sender/dialog/dialog_host.h"
#include "sender/dialog/gtk_module.h"
#include "sender/message_box.h"
#include "sender/program.h"
#include "sender/send_texts.h"

// The module's file name and its folder relative to the installed program's (bin/), both
// from the build (sender/dialog/CMakeLists.txt).
#ifndef KESTRAVA_GTK_MODULE_FILE
#error "KESTRAVA_GTK_MODULE_FILE must name the GTK module's file"
#endif
#ifndef KESTRAVA_GTK_MODULE_DIR
#error "KESTRAVA_GTK_MODULE_DIR must name the module's installed folder relative to the program's"
#endif
// The same for the dialog's help page.
#ifndef KESTRAVA_HELP_PAGE_FILE
#error "KESTRAVA_HELP_PAGE_FILE must name the help page's file"
#endif
#ifndef KESTRAVA_HELP_PAGE_DIR
#error "KESTRAVA_HELP_PAGE_DIR must name the help page's installed folder relative to the program's"
#endif

namespace dialog {

namespace {

constexpr char kNoDisplayText[] =
    "kestrava: cannot open the dialog: no graphical display (is DISPLAY set?); "
    "kestrava /IP=<address> /MAC=<mac address> sends without a window\n";
constexpr char kCannotOpenFormat[] = "kestrava: cannot open the dialog: %s\n";
constexpr char kNotTheModuleFormat[] =
    "kestrava: cannot open the dialog: %s is not the dialog module of this kestrava\n";
constexpr int kCannotOpenExitCode = 2;

// Filled when the module is opened, since the help page's path is known only then.
char g_help_page[platform::kPathRoom];
GtkModuleImports g_imports = {kGtkModuleInterface, MainDialogProc, SetDialogHost, SetMessageBoxHost,
                              ReadDottedQuad, g_help_page, kHelpUnopenedText};

// The options GTK 3 and GDK take from a program's command line for themselves (`--name` or
// `--name=value`). kestrava's parse ends at them as at any option it does not know, but they
// are not mistakes: GTK reads them when it starts.
constexpr const char* kGtkOptions[] = {"display",  "class",        "name",         "gtk-module",
                                       "g-fatal-warnings", "gtk-debug", "gtk-no-debug", "gdk-debug",
                                       "gdk-no-debug"};

bool IsGtkOption(const char* token) {
  if (token[0] != '-' || token[1] != '-') return false;
  for (const char* name : kGtkOptions) {
    const std::size_t length = std::strlen(name);
    if (std::strncmp(token + 2, name, length) == 0 && (token[2 + length] == '\0' || token[2 + length] == '=')) {
      return true;
    }
  }
  return false;
}

// Without a display, a command line that ended early is what the user needs to hear of: it
// names the token that was not read ("kestrava: /Verbos: not an option"). Otherwise the
// no-display text says how to send without a window.
void ReportNoDisplay() {
  if (g_program.ended_at != nullptr) {
    std::fprintf(stderr, send_texts::kEndedLineFormat, send_texts::kProgramName, g_program.ended_at,
                 g_program.end_reason);
  } else {
    std::fputs(kNoDisplayText, stderr);
  }
}

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] != '\0';
}

bool PathExists(const char* path) {
  struct stat info;
  return stat(path, &info) == 0;
}

// Whether something answers on the abstract socket at `path`, as a Broadway server does.
bool AbstractSocketAnswers(const char* path) {
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  const std::size_t length = std::strlen(path);
  if (length + 1 > sizeof address.sun_path) return false;
  std::memcpy(address.sun_path + 1, path, length);  // sun_path[0] == '\0': the abstract namespace
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return true;  // cannot tell: let GTK look
  const socklen_t size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
  const bool answers = connect(fd, reinterpret_cast<sockaddr*>(&address), size) == 0;
  close(fd);
  return answers;
}

// GTK 3 opens a display through X11 (DISPLAY, or its own --display option on the command
// line), Wayland (WAYLAND_DISPLAY or WAYLAND_SOCKET, else the default socket wayland-0 in
// XDG_RUNTIME_DIR), Broadway (BROADWAY_DISPLAY, else a server on the default display's socket
// in the runtime folder, or in ~/.cache without one) or whatever GDK_BACKEND names. When none
// of these is there, gtk_init_check can only fail, and that is known here without loading GTK.
bool DisplayMayBeAtHand(int argc, char** argv) {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "WAYLAND_SOCKET", "BROADWAY_DISPLAY", "GDK_BACKEND"}) {
    if (Set(name)) return true;
  }
  for (int i = 1; argv != nullptr && i < argc; ++i) {
    if (std::strncmp(argv[i], "--display", 9) == 0 && (argv[i][9] == '\0' || argv[i][9] == '=')) return true;
  }
  char path[platform::kPathRoom];
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] != '\0') {
    std::snprintf(path, sizeof path, "%s/wayland-0", runtime);
    if (PathExists(path)) return true;
    std::snprintf(path, sizeof path, "%s/broadway1.socket", runtime);
  } else if (Set("XDG_CACHE_HOME")) {
    std::snprintf(path, sizeof path, "%s/broadway1.socket", std::getenv("XDG_CACHE_HOME"));
  } else if (Set("HOME")) {
    std::snprintf(path, sizeof path, "%s/.cache/broadway1.socket", std::getenv("HOME"));
  } else {
    return true;  // GTK would ask the password database for the home folder: let it look
  }
  return AbstractSocketAnswers(path);
}

// One of the program's own files: beside the program (the build tree), else in its installed
// folder, given relative to the program's folder.
void ProgramFilePath(const char* file, const char* installed_folder, char* path, std::size_t size) {
  char program[platform::kPathRoom];
  if (platform::module_path(program, sizeof program) == 0) program[0] = '\0';
  char* slash = std::strrchr(program, '/');
  const int folder = slash != nullptr ? static_cast<int>(slash - program) : 0;
  std::snprintf(path, size, "%.*s/%s", folder, program, file);
  if (PathExists(path)) return;
  std::snprintf(path, size, "%.*s/%s/%s", folder, program, installed_folder, file);
}

// The help page's path, without the "bin/.." that the browser would otherwise show.
void FindHelpPage() {
  char path[platform::kPathRoom];
  ProgramFilePath(KESTRAVA_HELP_PAGE_FILE, KESTRAVA_HELP_PAGE_DIR, path, sizeof path);
  char resolved[PATH_MAX];
  const char* found = realpath(path, resolved) != nullptr ? resolved : path;
  std::snprintf(g_help_page, sizeof g_help_page, "%s", found);
}

// Opens the module and hands it the program's side; on failure says why, naming the file.
bool OpenModule() {
  char path[platform::kPathRoom];
  ProgramFilePath(KESTRAVA_GTK_MODULE_FILE, KESTRAVA_GTK_MODULE_DIR, path, sizeof path);
  // RTLD_LOCAL: GTK's symbols stay the module's; RTLD_NOW: a missing library shows here, once.
  void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    std::fprintf(stderr, kCannotOpenFormat, dlerror());
    return false;
  }
  auto entry = reinterpret_cast<GtkModuleEntry>(dlsym(module, kGtkModuleEntryName));
  FindHelpPage();
  g_dialog.gtk_module = entry != nullptr ? entry(&g_imports) : nullptr;
  if (g_dialog.gtk_module == nullptr) {
    std::fprintf(stderr, kNotTheModuleFormat, path);
    dlclose(module);
    return false;
  }
  return true;
}

}  // namespace

int host_initialise(int* argc, char*** argv) {
  if (g_program.ended_at != nullptr && IsGtkOption(g_program.ended_at)) g_program.ended_at = nullptr;
  if (!DisplayMayBeAtHand(argc != nullptr ? *argc : 0, argv != nullptr ? *argv : nullptr)) {
    ReportNoDisplay();
    return kCannotOpenExitCode;
  }
  if (!OpenModule()) return kCannotOpenExitCode;
  if (!g_dialog.gtk_module->initialise(argc, argv)) {
    ReportNoDisplay();
    return kCannotOpenExitCode;
  }
  return 0;
}

platform::Window host_create_main_dialog(int show_command) {
  return g_dialog.gtk_module->create_main_dialog(show_command);
}

int host_message_loop() { return g_dialog.gtk_module->message_loop(); }

}  // namespace dialog
