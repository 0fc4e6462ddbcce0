#include "tests/support/process.h"
#include "platform/sim/base/interrupted.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace test {
namespace {

std::string ReadAll(FILE* file) {
  const int fd = fileno(file);
  ::lseek(fd, 0, SEEK_SET);
  std::string text;
  char buffer[4096];
  ssize_t n;
  while ((n = sim::ReadFully(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
  return text;
}

}  // namespace

ProcessRun RunProcess(const ProcessLaunch& launch) {
  ProcessRun run;
  // Files rather than pipes: nothing can block on a full pipe.
  FILE* in = std::tmpfile();
  FILE* out = std::tmpfile();
  FILE* err = std::tmpfile();
  if (!in || !out || !err) {
    run.err = "cannot make temporary files";
    return run;
  }
  // The files are used through their descriptors alone, which the child shares.
  sim::WriteFully(fileno(in), launch.input.data(), launch.input.size());
  ::lseek(fileno(in), 0, SEEK_SET);

  // Everything the child needs is made before the fork.
  std::vector<char*> argv;
  for (const std::string& a : launch.argv) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::set<std::string> replaced;
  std::vector<std::string> environment;
  for (const auto& [name, value] : launch.environment) {
    replaced.insert(name);
    environment.push_back(name + "=" + value);
  }
  for (char** e = environ; *e; ++e) {
    const char* equals = std::strchr(*e, '=');
    if (!equals || !replaced.count(std::string(*e, static_cast<size_t>(equals - *e)))) environment.emplace_back(*e);
  }
  std::vector<char*> envp;
  for (std::string& e : environment) envp.push_back(e.data());
  envp.push_back(nullptr);
  const std::string directory = launch.directory.string();

  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    if (!directory.empty() && chdir(directory.c_str()) != 0) _exit(126);
    dup2(fileno(in), 0);
    dup2(fileno(out), 1);
    dup2(fileno(err), 2);
    // The alarm survives the exec: a run that hangs is killed, not waited for.
    alarm(launch.timeoutSeconds);
    execve(launch.program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  int status = 0;
  if (pid < 0 || sim::Restarted([&] { return waitpid(pid, &status, 0); }) != pid) {
    run.err = "cannot run " + launch.program;
  } else if (WIFEXITED(status)) {
    run.exit = WEXITSTATUS(status);
  } else {
    run.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    run.timedOut = run.signal == SIGALRM;
  }
  run.out = ReadAll(out);
  run.err += ReadAll(err);
  std::fclose(in);
  std::fclose(out);
  std::fclose(err);
  return run;
}

std::vector<nlohmann::json> TranscriptFile(const fs::path& machineDir) {
  std::vector<nlohmann::json> entries;
  std::ifstream in(machineDir / "transcript.jsonl");
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) entries.push_back(nlohmann::json::parse(line));
  return entries;
}

}  // namespace test
