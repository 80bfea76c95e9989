#pragma once

// A click on 按钮3: a dated copy of the save folder in the backup folder, and a copy into the
// temporary folder.
void onBackupClicked();
