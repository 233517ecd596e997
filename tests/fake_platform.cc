#include "tests/fake_platform.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/clipboard.h"
#include "platform/http.h"
#include "platform/launch.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/task_kill.h"
#include "platform/window.h"
#include "text/command_line.h"

namespace {

std::string g_journal;
std::vector<bool> g_answers;
size_t g_next_answer = 0;
std::vector<FakeWindowAction> g_window_actions;
size_t g_next_action = 0;
int g_idle_ticks = 0;
std::vector<std::string> g_real_programs;
void (*g_click_handler)() = nullptr;
int g_click_id = -1;

// Journal lines are tab-separated; tabs, line feeds and backslashes inside
// a field are escaped.
std::string escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\')
      out += "\\\\";
    else if (c == '\n')
      out += "\\n";
    else if (c == '\t')
      out += "\\t";
    else
      out += c;
  }
  return out;
}

std::string unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      char c = text[++i];
      out += c == 'n' ? '\n' : c == 't' ? '\t' : c;
    } else {
      out += text[i];
    }
  }
  return out;
}

void record(const std::string& kind, const std::vector<std::string>& fields) {
  std::ofstream journal(g_journal, std::ios::app);
  journal << kind;
  for (const std::string& field : fields) journal << '\t' << escape(field);
  journal << '\n';
}

const char* kind_name(MessageBoxKind kind) {
  switch (kind) {
    case kMessageBoxOk:
      return "ok";
    case kMessageBoxYesNo:
      return "yes_no";
    case kMessageBoxInformation:
      return "information";
  }
  return "?";
}

}  // namespace

void fake_platform_reset(const std::string& path) {
  g_journal = path;
  std::ofstream truncate(path, std::ios::trunc);
  g_answers.clear();
  g_next_answer = 0;
  g_next_action = 0;
  g_idle_ticks = 0;
  g_click_handler = nullptr;
}

void fake_platform_window_script(const std::vector<FakeWindowAction>& actions) {
  g_window_actions = actions;
  g_next_action = 0;
  g_idle_ticks = 0;
}

void fake_platform_run_for_real(const std::vector<std::string>& programs) {
  g_real_programs = programs;
}

void fake_platform_answer(const std::vector<bool>& answers) {
  g_answers = answers;
  g_next_answer = 0;
}

std::vector<FakeEvent> fake_platform_events(const std::string& path) {
  std::vector<FakeEvent> events;
  std::ifstream journal(path);
  if (!journal) {
    ADD_FAILURE() << "cannot read journal " << path << ": " << std::strerror(errno);
    return events;
  }
  std::string line;
  while (std::getline(journal, line)) {
    FakeEvent event;
    size_t tab = line.find('\t');
    event.kind = line.substr(0, tab);
    while (tab != std::string::npos) {
      size_t next = line.find('\t', tab + 1);
      event.fields.push_back(unescape(line.substr(tab + 1, next - tab - 1)));
      tab = next;
    }
    events.push_back(event);
  }
  return events;
}

bool message_box(const std::string& title, const std::string& text, MessageBoxKind kind) {
  record("box", {title, text, kind_name(kind)});
  if (kind != kMessageBoxYesNo) return false;
  return g_next_answer < g_answers.size() && g_answers[g_next_answer++];
}

bool launch_program(const std::string& program, const std::string& arguments,
                    const std::string& working_directory, unsigned options, int* exit_status) {
  record("launch", {program, arguments, working_directory, std::to_string(options)});
  if (exit_status != nullptr) *exit_status = 0;
  bool real = false;
  for (const std::string& name : g_real_programs) real = real || name == program;
  if (!real) return true;
  std::vector<std::string> argv = split_command_line('"' + program + "\" " + arguments);
  pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> args;
    for (std::string& a : argv) args.push_back(&a[0]);
    args.push_back(nullptr);
    execv(("./" + program).c_str(), args.data());
    _exit(127);
  }
  int status = 0;
  if ((options & kLaunchWait) && waitpid(pid, &status, 0) == pid && exit_status != nullptr) {
    *exit_status = WIFEXITED(status) && WEXITSTATUS(status) != 127 ? WEXITSTATUS(status) : -1;
  }
  return pid > 0;
}

void stop_processes_named(const std::string& name) { record("kill", {name}); }

void window_open(const std::string& title) { record("window", {title}); }

namespace {

void record_control(int id, const char* kind, WindowRect r, const std::string& text) {
  record("control", {std::to_string(id), kind, std::to_string(r.x), std::to_string(r.y),
                     std::to_string(r.width), std::to_string(r.height), text});
}

}  // namespace

void window_add_progress_bar(int id, WindowRect rect, int range_max) {
  record_control(id, "bar", rect, std::to_string(range_max));
}
void window_add_button(int id, WindowRect rect, const std::string& text) {
  record_control(id, "button", rect, text);
}
void window_add_label(int id, WindowRect rect, const std::string& text) {
  record_control(id, "label", rect, text);
}
void window_add_field(int id, WindowRect rect, const std::string& text) {
  record_control(id, "field", rect, text);
}
void window_bind_click(int id, void (*handler)()) {
  g_click_id = id;
  g_click_handler = handler;
}
void window_focus(int id) { record("focus", {std::to_string(id)}); }
void window_add_timer(int timer_id, int interval_ms) {
  record("timer", {std::to_string(timer_id), std::to_string(interval_ms)});
}

WindowEvent window_wait_event() {
  for (;;) {
    if (g_next_action < g_window_actions.size()) {
      FakeWindowAction action = g_window_actions[g_next_action++];
      if (action.kind == FakeWindowAction::kClose) return {kWindowEventClose, 0};
      if (action.kind == FakeWindowAction::kTick) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));  // time passes between ticks
        return {kWindowEventTimer, 123};
      }
      // A click runs the bound handler inside the wait, as the toolkit does.
      if (action.id == g_click_id && g_click_handler != nullptr) g_click_handler();
      continue;
    }
    if (++g_idle_ticks > 2000) return {kWindowEventClose, 0};
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return {kWindowEventTimer, 123};
  }
}

void window_set_progress(int id, int value) {
  record("bar", {std::to_string(id), std::to_string(value)});
}
void window_pulse_progress(int id) { record("pulse", {std::to_string(id)}); }
void window_set_text(int id, const std::string& text) {
  record("text", {std::to_string(id), text});
}

// The socket layer is real: flows reach real servers on 127.0.0.1.
void start_platform_services() {
  http_start();
  record("start", {});
}

void release_platform_services() {
  record("release", {});
  http_release();
}

void set_clipboard_text(const std::string& text) { record("clipboard", {text}); }
