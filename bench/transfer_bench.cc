// Compares the archive transfer with the curl command-line tool on the same
// files from a server on 127.0.0.1, alternating runs, and prints the median
// wall-time and CPU-time ratios (ours / curl) and the peak RSS of each.
//
//   transfer_bench PATH/TO/transfer_once [ROUNDS]
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/http_server.h"

namespace {

struct Run {
  double wall_s, cpu_s;
  long max_rss_kib;
};

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "transfer_bench: %s: %s\n", what.c_str(), std::strerror(errno));
  std::exit(1);
}

// Runs argv to its end; its wall time, CPU time and peak RSS.
Run measure(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid < 0) fail("fork");
  if (pid == 0) {
    execvp(argv[0], argv.data());
    std::fprintf(stderr, "transfer_bench: cannot run %s: %s\n", argv[0], std::strerror(errno));
    _exit(127);
  }
  int status;
  rusage usage;
  if (wait4(pid, &status, 0, &usage) != pid) fail("wait4");
  auto end = std::chrono::steady_clock::now();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "transfer_bench: %s failed\n", args[0].c_str());
    std::exit(1);
  }
  double cpu = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
               (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  return {std::chrono::duration<double>(end - start).count(), cpu, usage.ru_maxrss};
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void make_file(const std::string& path, size_t mib) {
  int fd = open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0644);
  if (fd < 0) fail("create " + path);
  std::string block(1 << 20, '\0');
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 2654435761u >> 13);
  for (size_t i = 0; i < mib; ++i) {
    if (write(fd, block.data(), block.size()) != static_cast<ssize_t>(block.size())) {
      fail("write " + path);
    }
  }
  close(fd);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s PATH/TO/transfer_once [ROUNDS]\n", argv[0]);
    return 2;
  }
  std::string ours = argv[1];
  int rounds = argc > 2 ? std::atoi(argv[2]) : 5;

  char pattern[] = "/tmp/transfer-bench-XXXXXX";
  if (mkdtemp(pattern) == nullptr) fail("mkdtemp");
  std::string dir = pattern;
  const size_t sizes[] = {32, 256};
  for (size_t mib : sizes) make_file(dir + "/" + std::to_string(mib) + ".bin", mib);

  TestHttpServer server([&dir](TestHttpServer& s, const HttpRequest& request, int fd) {
    std::string path = dir + request.path;
    int file = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info;
    if (file < 0 || fstat(file, &info) != 0) {
      s.send(fd, TestHttpServer::response(404, "missing"));
      if (file >= 0) close(file);
      return;
    }
    s.send(fd, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(info.st_size) +
                   "\r\nConnection: close\r\n\r\n");
    off_t offset = 0;
    while (offset < info.st_size) {
      if (sendfile(fd, file, &offset, static_cast<size_t>(info.st_size - offset)) <= 0) break;
    }
    close(file);
  });

  std::string out = dir + "/out.zip";
  std::printf("%-8s %-6s %10s %10s %10s %10s %12s %12s\n", "size", "rounds", "ours wall",
              "curl wall", "wall ratio", "cpu ratio", "ours RSS", "curl RSS");
  for (size_t mib : sizes) {
    std::string url = server.url("/" + std::to_string(mib) + ".bin");
    std::vector<double> wall[2], cpu[2];
    long rss[2] = {0, 0};
    for (int round = 0; round < rounds; ++round) {
      // Alternate which goes first, so neither always meets a warmer cache.
      for (int k = 0; k < 2; ++k) {
        int who = (round + k) % 2;
        Run run = who == 0 ? measure({ours, url, out}) : measure({"curl", "-s", "-o", out, url});
        wall[who].push_back(run.wall_s);
        cpu[who].push_back(run.cpu_s);
        rss[who] = std::max(rss[who], run.max_rss_kib);
        unlink(out.c_str());
      }
    }
    std::printf("%-8s %-6d %9.3fs %9.3fs %10.3f %10.3f %9ld KiB %9ld KiB\n",
                (std::to_string(mib) + "MiB").c_str(), rounds, median(wall[0]), median(wall[1]),
                median(wall[0]) / median(wall[1]), median(cpu[0]) / median(cpu[1]), rss[0],
                rss[1]);
  }
  for (size_t mib : sizes) unlink((dir + "/" + std::to_string(mib) + ".bin").c_str());
  rmdir(dir.c_str());
  return 0;
}
