// Every page of the wizard, for the shell that adds them and the tests that walk them.
#pragma once

#include "gui/dump_settings_page.h"
#include "gui/gui_finish_page.h"
#include "gui/mssql_settings_page.h"
#include "gui/progress_page.h"
#include "gui/sel_file_page.h"
#include "gui/sel_tables_page.h"
#include "gui/welcome_page.h"
#include "gui/wizard_page.h"
