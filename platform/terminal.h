// Whether a standard stream is a terminal a person watches (progress is shown only there).
#pragma once

bool standard_error_is_terminal();
