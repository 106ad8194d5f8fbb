-- The database side of quillmore --sync-to: run once, as the database's owner or a superuser,
-- in the database the kiosks send to:
--
--   psql -v ON_ERROR_STOP=1 -d events -f quillmore-sync.sql
--
-- It makes the schema quillmore with the table of sign-ups and the table of kiosk status, and the
-- role quillmore_kiosk, which may only call the two functions below: add sign-ups, and keep a status
-- row current. It cannot read, change or delete anyone's sign-ups. Each kiosk logs in as a role that
-- is a member of it (README: "Several kiosks, one database"). The kiosk never creates or alters
-- tables. Running the file a second time fails at once and changes nothing.
BEGIN;

CREATE SCHEMA quillmore;
REVOKE ALL ON SCHEMA quillmore FROM PUBLIC;

-- One row per line of a kiosk's data file. (kiosk, data_file, line_offset) names the line: the data
-- file's identity changes when the file is moved away and a new one begun, so a new file's first
-- line never takes the place of the old file's. A second send of the same line adds nothing.
CREATE TABLE quillmore.signup (
    kiosk             text        NOT NULL,
    data_file         text        NOT NULL,
    line_offset       bigint      NOT NULL CHECK (line_offset >= 0),
    signed_up_at      timestamptz,              -- NULL: written while sync did not watch the file
    received_at       timestamptz NOT NULL DEFAULT now(),
    -- The 14 columns of the line, as written.
    first_name        text,
    last_name         text,
    email             text,
    post_code         text,
    city              text,
    column_6          text,
    country           text,
    cell              text,
    carrier           text,
    aol_screen_name   text,
    myspace_user_name text,
    year_born         text,
    gender            text,
    column_14         text,
    -- A line that does not read as 14 values (a line edited by hand, or cut by a power cut and ended by
    -- the next sign-up): kept here byte for byte, the 14 columns NULL.
    unparsed          bytea,
    PRIMARY KEY (kiosk, data_file, line_offset),
    CHECK ((unparsed IS NULL) = (column_14 IS NOT NULL))
);

-- What each kiosk last said about itself (at most about once a minute).
CREATE TABLE quillmore.kiosk (
    kiosk        text PRIMARY KEY,
    version      text        NOT NULL,
    local_count  bigint      NOT NULL, -- complete lines in its data file
    waiting      bigint      NOT NULL, -- of those, not yet confirmed by this database
    last_signup  timestamptz,          -- the latest sign-up whose time it knows
    last_contact timestamptz NOT NULL
);

-- Adds the lines of one data file, each once. The arrays run in step, one element per line: its byte
-- offset, its time in seconds since 1970 or NULL, NULL or (for an unparsed line) its bytes in hex, and
-- one array per column (NULL for an unparsed line). Returns how many lines were new. One array per
-- column, unnested together: subscripting one long array per value would walk it each time.
-- SECURITY DEFINER: the kiosk role has no privilege on the table itself, not even to see whether a line
-- is there already, which ON CONFLICT would otherwise need.
CREATE FUNCTION quillmore.add_signups(kiosk text, data_file text, offsets bigint[], times bigint[], raw_hex text[],
    first_name text[],
    last_name text[],
    email text[],
    post_code text[],
    city text[],
    column_6 text[],
    country text[],
    cell text[],
    carrier text[],
    aol_screen_name text[],
    myspace_user_name text[],
    year_born text[],
    gender text[],
    column_14 text[])
RETURNS integer
LANGUAGE sql SECURITY DEFINER
SET search_path = pg_catalog, pg_temp
AS $$
    WITH added AS (
        INSERT INTO quillmore.signup AS s (kiosk, data_file, line_offset, signed_up_at, unparsed,
            first_name, last_name, email, post_code, city, column_6, country, cell, carrier, aol_screen_name, myspace_user_name, year_born, gender, column_14)
        SELECT $1, $2, o.line_offset, to_timestamp(o.t), decode(o.raw, 'hex'),
            o.first_name, o.last_name, o.email, o.post_code, o.city, o.column_6, o.country, o.cell, o.carrier, o.aol_screen_name, o.myspace_user_name, o.year_born, o.gender, o.column_14
        FROM unnest($3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13, $14, $15, $16, $17, $18, $19)
            AS o(line_offset, t, raw, first_name, last_name, email, post_code, city, column_6, country, cell, carrier, aol_screen_name, myspace_user_name, year_born, gender, column_14)
        ON CONFLICT (kiosk, data_file, line_offset) DO NOTHING
        RETURNING 1
    )
    SELECT count(*)::integer FROM added;
$$;

-- Keeps the kiosk's status row current; the time of contact is the server's.
CREATE FUNCTION quillmore.kiosk_status(kiosk text, version text, local_count bigint, waiting bigint,
                                       last_signup bigint)
RETURNS void
LANGUAGE sql SECURITY DEFINER
SET search_path = pg_catalog, pg_temp
AS $$
    INSERT INTO quillmore.kiosk AS k (kiosk, version, local_count, waiting, last_signup, last_contact)
    VALUES ($1, $2, $3, $4, to_timestamp($5), now())
    ON CONFLICT (kiosk) DO UPDATE
        SET version = excluded.version, local_count = excluded.local_count, waiting = excluded.waiting,
            last_signup = coalesce(excluded.last_signup, k.last_signup), last_contact = excluded.last_contact;
$$;

REVOKE ALL ON FUNCTION quillmore.add_signups(text, text, bigint[], bigint[], text[], text[], text[], text[], text[], text[], text[], text[], text[], text[], text[], text[], text[], text[], text[]) FROM PUBLIC;
REVOKE ALL ON FUNCTION quillmore.kiosk_status(text, text, bigint, bigint, bigint) FROM PUBLIC;

CREATE ROLE quillmore_kiosk NOLOGIN;
GRANT USAGE ON SCHEMA quillmore TO quillmore_kiosk;
GRANT EXECUTE ON FUNCTION quillmore.add_signups(text, text, bigint[], bigint[], text[], text[], text[], text[], text[], text[], text[], text[], text[], text[], text[], text[], text[], text[], text[]) TO quillmore_kiosk;
GRANT EXECUTE ON FUNCTION quillmore.kiosk_status(text, text, bigint, bigint, bigint) TO quillmore_kiosk;

COMMIT;
