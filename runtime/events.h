#pragma once
// The event pump: let every pending window event run once.
void DoEvents();
