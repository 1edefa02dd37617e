// The private configuration a login goes through: the address forms, the encryption settings
// each choice writes, and a freetds.conf entry read as the client library reads it, its own
// encryption settings giving way to the options.
#include <gtest/gtest.h>

#include "odb/odb_conf_entry.h"
#include "odb/odb_login_section.h"

namespace {

odb_tls mandatory_checked() {
  return {};
}

TEST(odb_login_section, address_forms_become_host_port_or_instance) {
  const odb_login_section plain = odb_make_login_section("s", "db.example", {}, std::nullopt);
  EXPECT_EQ(plain.host, "db.example");
  EXPECT_NE(plain.text.find("\thost = db.example\n"), std::string::npos) << plain.text;
  EXPECT_EQ(plain.text.find("port"), std::string::npos) << plain.text;

  const odb_login_section port = odb_make_login_section("s", "db.example:1533", {}, std::nullopt);
  EXPECT_EQ(port.host, "db.example");
  EXPECT_NE(port.text.find("\tport = 1533\n"), std::string::npos) << port.text;

  const odb_login_section instance =
      odb_make_login_section("s", "db.example\\SALES", {}, std::nullopt);
  EXPECT_EQ(instance.host, "db.example");
  EXPECT_NE(instance.text.find("\tinstance = SALES\n"), std::string::npos) << instance.text;

  EXPECT_EQ(odb_make_login_section("s", "", {}, std::nullopt).host, "localhost");
  EXPECT_EQ(plain.text.rfind("[s]\n", 0), 0u) << plain.text;
}

TEST(odb_login_section, each_choice_writes_its_encryption_settings) {
  const odb_login_section checked =
      odb_make_login_section("s", "h", mandatory_checked(), std::nullopt);
  EXPECT_NE(checked.text.find("\tencryption = require\n"), std::string::npos);
  EXPECT_NE(checked.text.find("\tca file = /etc/ssl/certs/ca-certificates.crt\n"),
            std::string::npos);
  EXPECT_NE(checked.text.find("\tcheck certificate hostname = yes\n"), std::string::npos);

  odb_tls own_ca;
  own_ca.ca_file = "/srv/ca.pem";
  EXPECT_NE(
      odb_make_login_section("s", "h", own_ca, std::nullopt).text.find("\tca file = /srv/ca.pem\n"),
      std::string::npos);

  // Without a CA file the library checks nothing: that is how trust is written.
  odb_tls trust;
  trust.trust_server_cert = true;
  trust.ca_file = "/srv/ca.pem";
  const odb_login_section trusted = odb_make_login_section("s", "h", trust, std::nullopt);
  EXPECT_NE(trusted.text.find("\tencryption = require\n"), std::string::npos);
  EXPECT_EQ(trusted.text.find("ca file"), std::string::npos) << trusted.text;
  EXPECT_NE(trusted.text.find("\tcheck certificate hostname = no\n"), std::string::npos);

  odb_tls optional;
  optional.encryption = odb_encryption::optional;
  const odb_login_section requested = odb_make_login_section("s", "h", optional, std::nullopt);
  EXPECT_NE(requested.text.find("\tencryption = request\n"), std::string::npos);
  EXPECT_EQ(requested.text.find("ca file"), std::string::npos) << requested.text;
}

TEST(odb_conf_entry, is_read_as_the_client_library_reads_it) {
  const std::string text =
      "; a comment\n"
      "[global]\n"
      "  tds version = 7.3\n"
      "[other]\n"
      "  host = elsewhere\n"
      "[Sales]   # the sales server\n"
      "  Host = sales.example   ; its name\n"
      "  PORT = 1533\n"
      "  TDS    Version = 7.4\n";
  const std::optional<odb_conf_entry> entry = odb_conf_entry_in(text, "sales", "f.conf");
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->file, "f.conf");
  EXPECT_EQ(entry->find("host"), "sales.example");
  EXPECT_EQ(entry->find("port"), "1533");
  // The entry's own value wins over [global]'s.
  EXPECT_EQ(entry->find("tds version"), "7.4");
  EXPECT_FALSE(odb_conf_entry_in(text, "missing", "f.conf"));
  EXPECT_FALSE(odb_conf_entry_in(text, "global", "f.conf") &&
               odb_conf_entry_in(text, "global", "f.conf")->find("host"));
}

TEST(odb_login_section, an_entry_keeps_its_settings_and_the_options_win_with_a_note) {
  const std::optional<odb_conf_entry> entry = odb_conf_entry_in(
      "[sales]\n host = sales.example\n port = 1533\n encryption = off\n"
      " ca file = /old/ca.pem\n dump file = /tmp/everything.log\n",
      "sales", "/etc/freetds/freetds.conf");
  ASSERT_TRUE(entry);
  const odb_login_section section = odb_make_login_section("s", "sales", {}, entry);
  EXPECT_EQ(section.host, "sales.example");
  EXPECT_NE(section.text.find("\thost = sales.example\n"), std::string::npos) << section.text;
  EXPECT_NE(section.text.find("\tport = 1533\n"), std::string::npos) << section.text;
  EXPECT_NE(section.text.find("\tencryption = require\n"), std::string::npos) << section.text;
  EXPECT_EQ(section.text.find("encryption = off"), std::string::npos) << section.text;
  EXPECT_EQ(section.text.find("/old/ca.pem"), std::string::npos) << section.text;
  EXPECT_EQ(section.text.find("dump file"), std::string::npos) << section.text;
  ASSERT_EQ(section.notes.size(), 2u);
  EXPECT_EQ(section.notes[0],
            "The freetds.conf entry [sales] in /etc/freetds/freetds.conf sets encryption = off; "
            "the connection's options win: encryption = require");
  EXPECT_NE(section.notes[1].find("ca file = /old/ca.pem"), std::string::npos);
}

}  // namespace
