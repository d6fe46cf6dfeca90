// The texts of scheduled tasks as systemd and cron read them: command lines quoted so that
// the program receives exactly the arguments given (whatever spaces, quotes, '%', '$' or
// backslashes they hold), and triggers as OnCalendar values and crontab time fields. Each
// writer has a reader that undoes it, for listing the tasks written earlier.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "platform/TaskScheduler.h"

namespace plat {

using TaskEnvironment = std::vector<std::pair<std::string, std::string>>;

// A name that a shell and systemd take as an environment variable's ([A-Za-z_][A-Za-z0-9_]*).
bool IsVariableName(const std::string& name);

// systemd: one word for ExecStart= in double quotes ('%' as "%%" against specifier
// expansion, '\', '"' and control characters as C escapes, and in an argument '$' as "$$"
// against variable expansion, which the program's path does not undergo).
std::string SystemdQuoteArgument(const std::string& argument, bool program = false);
// The ExecStart= value of `argv`.
std::string SystemdExecLine(const std::vector<std::string>& argv);
// Why systemd would refuse `program` as the path of ExecStart= (it takes no quote, backslash
// or control character there); empty when it is fine.
std::string SystemdProgramProblem(const std::string& program);
// One Environment= value: "NAME=value" quoted ('%' doubled; systemd expands no '$' there).
std::string SystemdEnvironmentValue(const std::string& name, const std::string& value);
// Splits an ExecStart= value as systemd does (specifiers "%%", quotes, C escapes, "$$").
// False when it holds something this suite never writes (an unknown specifier, an open quote).
bool SystemdSplitExecLine(const std::string& line, std::vector<std::string>& argv);
// Reads an Environment= value written by SystemdEnvironmentValue.
bool SystemdSplitEnvironment(const std::string& value, std::string& name, std::string& text);

// cron: the command field of a crontab line: optional NAME='value' assignments, then the
// arguments, each in single quotes for /bin/sh, with every '%' written as '\%' outside the
// quotes (cron turns an unescaped '%' into a line break). Arguments must not hold a line
// break or NUL (a crontab line cannot carry them): false with `error` set.
bool CronCommand(const TaskEnvironment& environment, const std::vector<std::string>& argv,
                 std::string& command, std::string& error);
// Reads a command written by CronCommand back.
bool CronSplitCommand(const std::string& command, TaskEnvironment& environment,
                      std::vector<std::string>& argv);

// OnCalendar= value of a trigger ("*-*-* 02:00:00", "Sat *-*-* 01:00:00", ...).
std::string OnCalendarValue(const TaskTrigger& trigger);
// Reads a value written by OnCalendarValue; false for any other form.
bool ParseOnCalendar(const std::string& value, TaskTrigger& trigger);

// The five time fields of a crontab line ("0 2 * * *"). A Once trigger gives its minute,
// hour, day and month; `yearGuard` then receives the shell test that keeps it to its year
// (written before the command), else it is emptied.
std::string CronTimeFields(const TaskTrigger& trigger, std::string& yearGuard);
// Reads the time fields and year guard written above; false for any other form.
bool ParseCronTime(const std::string& fields, const std::string& yearGuard, TaskTrigger& trigger);
// The year guard of a Once trigger at the start of a command field ("" when none).
std::string CronYearGuardOf(const std::string& command);

}  // namespace plat
