// The script where Unix users send it (standard output, a pipe that closes early, a FIFO, a
// process substitution) and a script run cut short by a signal or a failed write, which
// leaves the old script exactly as it was.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "e2e/cli_run.h"
#include "e2e/e2e_dbf.h"
#include "tk/tk_test_dir.h"

namespace {

namespace fs = std::filesystem;

const std::string k_quorvik = QV_QUORVIK_PATH;
const std::string k_shop = std::string(QV_SOURCE_DIR) + "/samples/shop";

cli_result bash(const std::string& script, const tk_test_dir& dir) {
  return cli_run("/bin/bash", {"-c", script}, dir.path());
}

// The script after its header comment, which names the destination.
std::string body(const std::string& script) {
  const std::size_t end = script.find("*/\r\n");
  return end == std::string::npos ? script : script.substr(end + 4);
}

std::vector<std::string> temporary_files(const tk_test_dir& dir) {
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(".old.sql.", 0) == 0 || name.rfind(".new.sql.", 0) == 0) found.push_back(name);
  }
  return found;
}

TEST(cli_script_stream, standard_output_holds_the_script_and_nothing_else) {
  const tk_test_dir dir;
  const cli_result to_file = quorvik({"--src=" + k_shop, "--dump", "--dest=" + dir / "file.sql"});
  ASSERT_EQ(to_file.code, 0) << to_file.out << to_file.err;
  const std::string expected = body(tk_read_file(dir / "file.sql"));
  ASSERT_NE(expected.find("INSERT INTO"), std::string::npos);

  for (const std::string dest : {"-", "/dev/stdout"}) {
    const cli_result run = quorvik({"--src=" + k_shop, "--dump", "--dest=" + dest});
    ASSERT_EQ(run.code, 0) << dest << ": " << run.err;
    EXPECT_EQ(run.out.rfind("/*\r\nFile name: " + dest + "\r\n", 0), 0u) << dest;
    EXPECT_EQ(body(run.out), expected) << dest;
    EXPECT_NE(run.err.find("Converting database "), std::string::npos) << dest << run.err;
  }
}

TEST(cli_script_stream, pipes_and_fifos_get_the_whole_script_in_order) {
  const tk_test_dir dir;
  ASSERT_EQ(quorvik({"--src=" + k_shop, "--dump", "--dest=" + dir / "file.sql"}).code, 0);
  const std::string expected = body(tk_read_file(dir / "file.sql"));

  ASSERT_EQ(::mkfifo((dir / "fifo.sql").c_str(), 0600), 0);
  const cli_result fifo =
      bash("cat fifo.sql > from_fifo.sql & timeout 60 '" + k_quorvik + "' --src='" + k_shop +
               "' --dump --dest=fifo.sql; code=$?; wait; echo code=$code",
           dir);
  EXPECT_NE(fifo.out.find("code=0"), std::string::npos) << fifo.out << fifo.err;
  EXPECT_EQ(body(tk_read_file(dir / "from_fifo.sql")), expected);

  const cli_result substituted =
      bash("timeout 60 '" + k_quorvik + "' --src='" + k_shop +
               "' --dump --dest=>(gzip > script.sql.gz); code=$?; wait; sleep 0.2; "
               "gzip -dc script.sql.gz > unpacked.sql; echo code=$code",
           dir);
  EXPECT_NE(substituted.out.find("code=0"), std::string::npos)
      << substituted.out << substituted.err;
  EXPECT_EQ(body(tk_read_file(dir / "unpacked.sql")), expected);
}

TEST(cli_script_stream, a_pipe_closed_early_ends_the_run_with_an_error) {
  const tk_test_dir dir;
  const std::string table = e2e_bench_table(dir.path(), 100000);
  ASSERT_FALSE(table.empty());
  const cli_result run = bash("'" + k_quorvik + "' --src='" + table +
                                  "' --dump --dest=- 2> err.txt | head -c 100 > /dev/null; "
                                  "echo \"status=${PIPESTATUS[0]}\"",
                              dir);
  EXPECT_NE(run.out.find("status=255"), std::string::npos) << run.out << run.err;
  EXPECT_NE(tk_read_file(dir / "err.txt").find("Cannot write the dump file '-'"), std::string::npos)
      << tk_read_file(dir / "err.txt");
}

TEST(cli_script_stream, a_run_cut_short_leaves_the_old_script_as_it_was) {
  const tk_test_dir dir;
  const std::string table = e2e_bench_table(dir.path(), 200000);
  ASSERT_FALSE(table.empty());
  const std::string old_script = "-- the old script\r\n";
  const std::string old_path = dir.write("old.sql", old_script);
  ASSERT_EQ(::chmod(old_path.c_str(), 0604), 0);

  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::freopen("/dev/null", "w", stdout);
      ::execl(k_quorvik.c_str(), k_quorvik.c_str(), ("--src=" + table).c_str(), "--dump",
              ("--dest=" + old_path).c_str(), static_cast<char*>(nullptr));
      ::_exit(122);
    }
    // Signalled once the new script is on its way.
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (temporary_files(dir).empty() && std::chrono::steady_clock::now() < give_up) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_FALSE(temporary_files(dir).empty()) << "no temporary script seen, signal " << sig;
    ::kill(pid, sig);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "signal " << sig;
    EXPECT_EQ(tk_read_file(old_path), old_script) << "signal " << sig;
    EXPECT_TRUE(temporary_files(dir).empty()) << "signal " << sig;
  }

  // A write that fails (here: the file size limit) fails the run the same way.
  const cli_result limited = bash("trap '' XFSZ; ulimit -f 256; '" + k_quorvik + "' --src='" +
                                      table + "' --dump --dest=old.sql",
                                  dir);
  EXPECT_EQ(limited.code, 255) << limited.out << limited.err;
  EXPECT_NE((limited.out + limited.err).find("Cannot write the dump file"), std::string::npos)
      << limited.out << limited.err;
  EXPECT_EQ(tk_read_file(old_path), old_script);
  EXPECT_TRUE(temporary_files(dir).empty());

  // A run that ends well replaces the script, keeping its permissions; a new script gets
  // those the umask leaves.
  const cli_result done =
      bash("umask 027; '" + k_quorvik + "' --src='" + k_shop + "' --dump --dest=old.sql && '" +
               k_quorvik + "' --src='" + k_shop + "' --dump --dest=new.sql",
           dir);
  ASSERT_EQ(done.code, 0) << done.out << done.err;
  EXPECT_NE(tk_read_file(old_path).find("INSERT INTO"), std::string::npos);
  struct stat st {};
  ASSERT_EQ(::stat(old_path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0604u);
  ASSERT_EQ(::stat((dir / "new.sql").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_TRUE(temporary_files(dir).empty());
}

}  // namespace
