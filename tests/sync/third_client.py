# A third CalDAV client: adds, edits or deletes an event of the calendar at the address given.
import sys, caldav
url, user, password, action = sys.argv[1:5]
cal = caldav.Calendar(client=caldav.DAVClient(url, username=user, password=password), url=url)
def find(summary):
    for e in cal.events():
        if e.vobject_instance.vevent.summary.value == summary:
            return e
if action == "add":
    cal.save_event("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//third//EN\r\nBEGIN:VEVENT\r\n"
                   "UID:third-1@example.org\r\nDTSTAMP:20270101T000000Z\r\n"
                   "DTSTART:20270305T080000\r\nDTEND:20270305T090000\r\n"
                   "SUMMARY:from python\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n")
elif action == "edit":
    e = find(sys.argv[5])
    e.vobject_instance.vevent.summary.value = sys.argv[6]
    e.save()
elif action == "delete":
    find(sys.argv[5]).delete()
