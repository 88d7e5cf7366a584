#!/bin/sh
# Stands in for dmenu in the notification tests: keeps the menu of actions that dunst offers
# in $QCAL_MENU_FILE and chooses the line that holds the text in $QCAL_PICK_FILE.
menu=$(cat)
printf '%s\n' "$menu" > "$QCAL_MENU_FILE"
printf '%s\n' "$menu" | grep -F -m1 -- "$(cat "$QCAL_PICK_FILE")"
exit 0
