#pragma once

class ScriptedMessages;
struct Services;

// The window while SQL Server answers late, on the TDS stand-in through FreeTDS: a login the server never
// answers, a plate lookup and a save's COMMIT answered after 5 s. Prints the wait's total and the longest
// stretch without an event-loop turn of each, or why the section was skipped; `messages` are the boxes
// `services` show.
void printSlowAnswers(int runs, ScriptedMessages& messages, const Services& services);
