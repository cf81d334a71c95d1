module nimbro.invalid/e2e/acme-location

go 1.26
