#pragma once

// The three folder locations, kept in "相关文件夹位置.ini" beside the program.
void onWindowCreated();
void onSaveGameSavePathClicked();
void onSaveBackupPathClicked();
void onSaveTempPathClicked();
